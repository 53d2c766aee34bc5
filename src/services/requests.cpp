#include "services/requests.h"

#include "services/hex_number.h"

namespace {

const QString Prompt = QStringLiteral(">");

using Convert = int (*)(const QString&);

void storeTriplet(BlockBuffer& buffer, int& next, const QString& line, Convert convert) {
    buffer[next] = convert(Chars(line, 1, 2));
    buffer[next + 1] = convert(Chars(line, 4, 2));
    buffer[next + 2] = convert(Chars(line, 7, 2));
    next += 3;
}

// Room for one more triplet: the last one ends at entry 99.
bool tripletFits(int next) {
    return next + 2 <= BlockBuffer::Last;
}

bool readTripletBlock(CommandChannel& channel, BlockBuffer& buffer, const QString& request,
                      Convert convert, const NoteSink* note) {
    buffer.Clear();
    if (!channel.SendCommand(request))
        return false;
    int next = BlockBuffer::First;
    storeTriplet(buffer, next, channel.LastReply, convert);
    for (;;) {
        const QString line = channel.ReadReply(true, false);
        if (line == Prompt)
            return true;
        if (note && line.startsWith(QLatin1Char('\r'))) {
            if (*note)
                (*note)(ExtraBytesNote);
            continue;
        }
        // Lines beyond the buffer are read to the prompt and dropped, unconverted.
        if (tripletFits(next))
            storeTriplet(buffer, next, line, convert);
    }
}

bool readValueBlock(CommandChannel& channel, BlockBuffer& buffer, const QString& request) {
    buffer.Clear();
    if (!channel.SendCommand(request))
        return false;
    int next = BlockBuffer::First;
    buffer[next++] = HexToIntLenient(channel.LastReply);
    for (;;) {
        const QString line = channel.ReadReply(true, false);
        if (line == Prompt)
            return true;
        if (next <= BlockBuffer::Last)
            buffer[next++] = HexToIntLenient(line);
    }
}

// The rest of an accepted reply that nobody reads; left in the port it would
// be taken as the answer to the next request.
void dropRestOfReply(CommandChannel& channel) {
    while (channel.ReadReply(true, false) != Prompt) {
    }
}

} // namespace

bool ReadGroup(CommandChannel& channel, BlockBuffer& buffer, int group, const NoteSink& note) {
    return readTripletBlock(channel, buffer, QStringLiteral("08") + HexDigits(group, 2),
                            HexToIntLenient, &note);
}

bool ReadBasicSetting(CommandChannel& channel, BlockBuffer& buffer, int group) {
    return readTripletBlock(channel, buffer, QStringLiteral("04") + HexDigits(group, 2),
                            HexToIntStrict, nullptr);
}

bool ReadRawGroup(CommandChannel& channel, BlockBuffer& buffer) {
    return readValueBlock(channel, buffer, QStringLiteral("0800"));
}

bool ReadRawBasicSetting(CommandChannel& channel, BlockBuffer& buffer) {
    return readValueBlock(channel, buffer, QStringLiteral("0400"));
}

bool RequestAdaptation(CommandChannel& channel, int adaptationChannel) {
    return channel.SendCommand(QStringLiteral("10") + HexDigits(adaptationChannel, 2));
}

QString ReadAdaptationReply(CommandChannel& channel, BlockBuffer& buffer) {
    const QString value = QString::number(HexToIntStrict(channel.LastReply));
    int next = BlockBuffer::First;
    for (;;) {
        const QString line = channel.ReadReply(true, false);
        if (line == Prompt)
            return value;
        if (tripletFits(next))
            storeTriplet(buffer, next, line, HexToIntStrict);
    }
}

bool SaveAdaptation(CommandChannel& channel, int adaptationChannel, int value) {
    const bool accepted = channel.SendCommand(
        QStringLiteral("10") + HexDigits(adaptationChannel, 2) + HexDigits(value, 4));
    if (accepted)
        dropRestOfReply(channel);
    return accepted;
}

bool WriteCoding(CommandChannel& channel, int coding, int workshopCode) {
    return channel.SendCommand(QStringLiteral("07") + HexDigits(coding, 4) +
                               HexDigits(workshopCode, 4));
}

bool SendLogin(CommandChannel& channel, int code, int workshopCode) {
    const bool accepted =
        channel.SendCommand(QStringLiteral("11") + HexDigits(code, 4) + HexDigits(workshopCode, 4));
    if (accepted)
        dropRestOfReply(channel);
    return accepted;
}

bool RequestFaultCodes(CommandChannel& channel) {
    return channel.SendCommand(QStringLiteral("02"));
}

bool ClearFaultCodes(CommandChannel& channel) {
    // Units acknowledge a clear with the prompt alone; only an error word is
    // a refusal.
    channel.SendText(QStringLiteral("05\r"));
    const QString line = channel.ReadReply(true, false);
    if (line == Prompt)
        return true;
    const bool refused = line == QLatin1String("NA") || line == QLatin1String("ERROR") ||
                         line == QLatin1String("?") || line.isEmpty() ||
                         line == QLatin1String("\r");
    dropRestOfReply(channel);
    return !refused;
}

bool RequestReadiness(CommandChannel& channel) {
    return channel.SendCommand(QStringLiteral("15"));
}

bool ReadSingleValue(CommandChannel& channel, int valueChannel) {
    return channel.SendCommand(QStringLiteral("09") + HexDigits(valueChannel, 2));
}

bool StepOutputTest(CommandChannel& channel) {
    return channel.SendCommand(QStringLiteral("03"));
}

bool ReadInterfaceVoltage(CommandChannel& channel, int input) {
    const bool answered = channel.SendCommand(QStringLiteral("ATA") + HexDigits(input, 1));
    // A refusal came with its prompt already; reading on would only sit out
    // 5 s of silence before the next input.
    if (answered)
        channel.ReadReplyLine(false); // the prompt; LastReply keeps the reading
    return answered;
}

void EndDiagnosis(CommandChannel& channel) {
    channel.SendCommand(QStringLiteral("ATH"));
}
