#include "services/fault_codes.h"

#include "config/strings.h"

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
    // A refusal says nothing of the fault memory: never "no errors stored".
    if (!RequestFaultCodes(channel))
        return done(FaultReadOutcome::Refused);
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

int FaultOutcomeMessageId(FaultReadOutcome outcome) {
    switch (outcome) {
    case FaultReadOutcome::Unsupported:
        return 68;
    case FaultReadOutcome::Refused:
        return OutcomeText::FaultMemoryRefused;
    case FaultReadOutcome::Found:
    case FaultReadOutcome::Empty:
        break;
    }
    return 40;
}

QString FaultOutcomeWord(FaultReadOutcome outcome) {
    switch (outcome) {
    case FaultReadOutcome::Found:
        return QStringLiteral("found");
    case FaultReadOutcome::Empty:
        return QStringLiteral("empty");
    case FaultReadOutcome::Unsupported:
        return QStringLiteral("unsupported");
    case FaultReadOutcome::Refused:
        break;
    }
    return QStringLiteral("refused");
}

QString FaultCodeDigits(int code) {
    return QString::number(code).rightJustified(5, QLatin1Char('0'));
}

QString FaultCodeCell(const FaultCode& fault) {
    return FaultCodeDigits(fault.code) + QStringLiteral("\r\n") + QString::number(fault.status);
}
