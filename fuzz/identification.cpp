// The identification reader on whatever an interface sends after "ATD",
// through the real port and command channel. Input: one byte no longer
// used, then the bytes the interface sends.
#include "fuzz_support.h"
#include "pty_channel.h"

#include "services/identification.h"

namespace {
bool digits(const QString& text, qsizetype count) {
    if (text.size() != count)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PtyChannel pty;
    FuzzInput in(data, size);
    in.byte(); // was the language; kept so the corpus reads as before
    pty.feed(in.rest());

    TecuID id;
    try {
        ReadIdentification(pty.channel(), id);
    } catch (const EDataError&) {
        // No prompt came: the session ends with its communication error.
    }
    for (QChar c : id.VAGTyp)
        FUZZ_CHECK(c.unicode() <= 0x7F);
    FUZZ_CHECK(id.Coding.isEmpty() || digits(id.Coding, 5));
    FUZZ_CHECK(id.WSC.isEmpty() || digits(id.WSC, 5));
    FUZZ_CHECK(id.DeviceNumber.isEmpty() || digits(id.DeviceNumber, 7));
    FUZZ_CHECK(id.ImporterNumber.isEmpty() || digits(id.ImporterNumber, 3));
    FUZZ_CHECK(id.EXT.isEmpty() && id.IMP.isEmpty()); // labels are the front end's
    if (!id.Erfolg)
        FUZZ_CHECK(id.VAGTyp.isEmpty() && id.Part.isEmpty() && id.Zusatz.isEmpty() &&
                   id.Coding.isEmpty() && id.WSC.isEmpty());
    FUZZ_CHECK(pty.sent().isEmpty());
    return 0;
}
