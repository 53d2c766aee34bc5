#include "services/fault_codes.h"

#include "services/hex_number.h"
#include "services/requests.h"

FaultReadOutcome ReadFaultCodes(CommandChannel& channel, FaultCodeList& result) {
    // Filled aside: a read cut short (Disconnect, a failure) leaves the list
    // of the last complete read, the one the page still shows.
    FaultCodeList list;
    const auto done = [&](FaultReadOutcome outcome) {
        result = list;
        return outcome;
    };
    if (!RequestFaultCodes(channel))
        return done(FaultReadOutcome::Empty);
    const QString prompt = QStringLiteral(">");
    if (channel.LastReply == QLatin1String("0A")) {
        while (channel.ReadReply(true, false) != prompt) {
        }
        return done(FaultReadOutcome::Unsupported);
    }
    for (QString line = channel.LastReply; line != prompt; line = channel.ReadReply(true, false)) {
        const int code = HexToIntStrict(line.left(4));
        const int status = HexToIntStrict(line.right(2));
        if (code > 0 && code != 0xFFFF && status != 0x88)
            list.append({code, status});
    }
    return done(list.isEmpty() ? FaultReadOutcome::Empty : FaultReadOutcome::Found);
}

QString FaultCodeDigits(int code) {
    return QString::number(code).rightJustified(5, QLatin1Char('0'));
}

QString FaultCodeCell(const FaultCode& fault) {
    return FaultCodeDigits(fault.code) + QStringLiteral("\r\n") + QString::number(fault.status);
}
