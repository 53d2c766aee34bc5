// The reply readers, through the real port and command channel, on whatever
// an interface may answer. Input: which request (first byte) and its number
// (second byte), then the bytes the interface sends. A reader ends with its
// result or with the errors it may raise (silence or "DATA ERROR", a strict
// number that is none); it sends its request once and nothing else.
#include "fuzz_support.h"
#include "pty_channel.h"

#include "services/fault_codes.h"
#include "services/hex_number.h"
#include "services/requests.h"

namespace {
// A triplet reader fills whole triplets from entry 1 and never reaches entry
// 100; every entry holds a byte or -1. A strict reader never stores -1: the
// entries it did not reach form the tail.
void checkTriplets(const BlockBuffer& buffer, bool strict) {
    FUZZ_CHECK(buffer[BlockBuffer::Last] == BlockBuffer::Empty);
    int filled = 0;
    for (int e = BlockBuffer::First; e <= BlockBuffer::Last; ++e) {
        FUZZ_CHECK(buffer[e] >= -1 && buffer[e] <= 255);
        if (strict && buffer[e] != BlockBuffer::Empty) {
            FUZZ_CHECK(filled == e - 1);
            filled = e;
        }
    }
    FUZZ_CHECK(filled % 3 == 0);
}

QByteArray request(const QString& text) {
    return text.toLatin1() + '\r';
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PtyChannel pty;
    FuzzInput in(data, size);
    const int which = in.byte() % 12;
    const int number = in.byte();
    pty.feed(in.rest());
    CommandChannel& channel = pty.channel();

    BlockBuffer buffer;
    QByteArray expected;
    try {
        switch (which) {
        case 0:
            expected = request("08" + HexDigits(number, 2));
            if (ReadGroup(channel, buffer, number, [](const QString&) {}))
                checkTriplets(buffer, false);
            break;
        case 1:
            expected = request("04" + HexDigits(number, 2));
            if (ReadBasicSetting(channel, buffer, number))
                checkTriplets(buffer, true);
            break;
        case 2:
        case 3:
            expected = request(which == 2 ? "0800" : "0400");
            // Raw values may be any 32-bit number the text spells.
            which == 2 ? ReadRawGroup(channel, buffer) : ReadRawBasicSetting(channel, buffer);
            break;
        case 4:
            expected = request("10" + HexDigits(number % 100, 2));
            if (RequestAdaptation(channel, number % 100)) {
                buffer[1] = 0;
                const QString value = ReadAdaptationReply(channel, buffer);
                bool ok = false;
                value.toInt(&ok);
                FUZZ_CHECK(ok);
            }
            break;
        case 5:
            expected = request("10" + HexDigits(number % 100, 2) + HexDigits(number * 257, 4));
            SaveAdaptation(channel, number % 100, number * 257);
            break;
        case 6:
            expected = request("11" + HexDigits(number * 100, 4) + HexDigits(12345, 4));
            SendLogin(channel, number * 100, 12345);
            break;
        case 7: {
            expected = request("02");
            FaultCodeList faults;
            const FaultReadOutcome outcome = ReadFaultCodes(channel, faults);
            FUZZ_CHECK((outcome == FaultReadOutcome::Found) == !faults.isEmpty());
            for (const FaultCode& f : faults) {
                FUZZ_CHECK(f.code > 0 && f.code < 0xFFFF);
                FUZZ_CHECK(f.status >= 0 && f.status <= 0xFF && f.status != 0x88);
                FUZZ_CHECK(FaultCodeDigits(f.code).size() == 5);
            }
            break;
        }
        case 8:
            expected = request("15");
            if (RequestReadiness(channel))
                channel.ReadReply(true, false);
            break;
        case 9:
            expected = request("09" + HexDigits(number, 2));
            if (ReadSingleValue(channel, number))
                channel.ReadReply(true, false);
            break;
        case 10:
            expected = request("03");
            if (StepOutputTest(channel))
                channel.ReadReply(true, false);
            break;
        case 11:
            expected = request("ATA" + HexDigits(number % 6, 1));
            ReadInterfaceVoltage(channel, number % 6);
            break;
        }
    } catch (const EDataError&) {
    } catch (const EConvertError&) {
    }
    FUZZ_CHECK(pty.sent() == expected);
    return 0;
}
