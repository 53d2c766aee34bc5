// The identification reader on whatever an interface sends after "ATD",
// through the real port and command channel. Input: the language (first
// byte), then the bytes the interface sends.
#include "fuzz_support.h"
#include "pty_channel.h"

#include "config/strings.h"
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

// Empty, or the caption of its kind, ": " and the number.
bool labelled(const QString& text, int textId, qsizetype count) {
    const QString prefix = LoadStr(textId) + QStringLiteral(": ");
    return text.isEmpty() || (text.startsWith(prefix) && digits(text.mid(prefix.size()), count));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PtyChannel pty;
    FuzzInput in(data, size);
    const int offset = in.byte() & 1 ? EnglishStringOffset : 0;
    pty.feed(in.rest());

    TecuID id;
    try {
        ReadIdentification(pty.channel(), id, offset);
    } catch (const EDataError&) {
        // No prompt came: the session ends with its communication error.
    }
    for (QChar c : id.VAGTyp)
        FUZZ_CHECK(c.unicode() <= 0x7F);
    FUZZ_CHECK(id.Coding.isEmpty() || digits(id.Coding, 5));
    FUZZ_CHECK(id.WSC.isEmpty() || digits(id.WSC, 5));
    FUZZ_CHECK(labelled(id.EXT, 118 + offset, 7));
    FUZZ_CHECK(labelled(id.IMP, 117 + offset, 3));
    if (!id.Erfolg)
        FUZZ_CHECK(id.VAGTyp.isEmpty() && id.Part.isEmpty() && id.Zusatz.isEmpty() &&
                   id.Coding.isEmpty() && id.WSC.isEmpty());
    FUZZ_CHECK(pty.sent().isEmpty());
    return 0;
}
