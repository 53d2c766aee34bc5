#include "reports/link_texts.h"

#include "config/recorder_texts.h"
#include "config/strings.h"
#include "link/recording.h"

#include <QFileInfo>

#include <cstring>

namespace {
int reasonId(PortOpenFailure kind) {
    switch (kind) {
    case PortOpenFailure::NoName:
        return LinkText::PortNoName;
    case PortOpenFailure::Missing:
        return LinkText::PortMissing;
    case PortOpenFailure::NotATerminal:
        return LinkText::PortNotATerminal;
    case PortOpenFailure::Busy:
        return LinkText::PortBusy;
    case PortOpenFailure::PermissionDenied:
        return LinkText::PortPermission;
    case PortOpenFailure::DemoUnavailable:
        return TeamText::DemoUnavailable;
    case PortOpenFailure::DemoFailed:
        return LinkText::DemoFailed;
    case PortOpenFailure::ConverterRefused:
        return CableText::ConverterRefused;
    case PortOpenFailure::None:
    case PortOpenFailure::NotOpen:
    case PortOpenFailure::Other:
        break;
    }
    return LinkText::PortNotOpened;
}
} // namespace

QString PortOpenReason(const PortOpenError& error, int languageOffset) {
    if (error.kind == PortOpenFailure::ConverterRefused)
        return LoadStr(CableText::ConverterRefused + languageOffset).arg(error.detail);
    return LoadStr(reasonId(error.kind) + languageOffset);
}

QString PortOpenDetail(const PortOpenError& error, int languageOffset) {
    if (error.kind == PortOpenFailure::ConverterRefused)
        return QString(); // the driver is named in the reason

    if (error.kind == PortOpenFailure::PermissionDenied && !error.inDeviceGroup)
        return PortPermissionHint(error.device, error.deviceGroup, languageOffset);
    return error.detail;
}

QString PortOpenMessage(const QString& portName, const PortOpenError& error, int languageOffset) {
    QString text = portName + QStringLiteral(": ") + LoadStr(300 + languageOffset) +
                   QLatin1Char('\n') + PortOpenReason(error, languageOffset);
    const QString detail = PortOpenDetail(error, languageOffset);
    if (!detail.isEmpty())
        text += QLatin1Char('\n') + detail;
    return text;
}

QString PortOpenHeadline(const QString& portName, const PortOpenError& error, int languageOffset) {
    QString text = portName + QStringLiteral(": ") + PortOpenReason(error, languageOffset);
    const QString detail = PortOpenDetail(error, languageOffset);
    if (!detail.isEmpty())
        text += QLatin1Char('\n') + detail;
    return text;
}

QString PortPermissionHint(const QString& device, const QString& ownerGroup, int languageOffset) {
    const bool adminOnly = ownerGroup.isEmpty() || ownerGroup == QStringLiteral("root");
    if (adminOnly)
        return LoadStr(TeamText::PortAdminOnly + languageOffset).arg(device);
    return LoadStr(TeamText::PortGroup + languageOffset).arg(device, ownerGroup);
}

QString DataErrorReasonText(DataErrorReason reason, int languageOffset) {
    switch (reason) {
    case DataErrorReason::InterfaceSaid:
        return LoadStr(LinkText::DataErrorWord + languageOffset);
    case DataErrorReason::Silence:
        return LoadStr(LinkText::DataSilence + languageOffset);
    case DataErrorReason::NoPrompt:
        return LoadStr(LinkText::DataNoPrompt + languageOffset);
    case DataErrorReason::EndlessLine:
        return LoadStr(LinkText::DataEndlessLine + languageOffset);
    }
    return QString();
}

QString PortFailureText(const ESerialPort& error, int languageOffset) {
    int id = LinkText::PortSetupFailed;
    switch (error.Code) {
    case SE_ReadFailed:
    case SE_ClearComFailed:
        id = LinkText::PortReadFailed;
        break;
    case SE_WriteFailed:
        id = LinkText::PortWriteFailed;
        break;
    case SE_PurgeFailed:
        id = LinkText::PortDiscardFailed;
        break;
    case SE_PortNotOpen:
        return LoadStr(LinkText::PortClosed + languageOffset);
    case SE_OpenFailed:
        id = LinkText::PortNotOpened;
        break;
    default:
        break;
    }
    QString reason = error.Reason;
    if (reason.isEmpty() && error.WinCode > 0)
        reason = QString::fromLocal8Bit(strerror(error.WinCode));
    if (id == LinkText::PortNotOpened)
        return LoadStr(id + languageOffset) +
               (reason.isEmpty() ? QString() : QLatin1Char(' ') + reason);
    return LoadStr(id + languageOffset).arg(reason.isEmpty() ? QStringLiteral("?") : reason);
}

QString LinkFailureReason(const std::exception& error, int languageOffset) {
    if (const auto* dataError = dynamic_cast<const EDataError*>(&error))
        return DataErrorReasonText(dataError->reason, languageOffset);
    if (const auto* portError = dynamic_cast<const ESerialPort*>(&error))
        return PortFailureText(*portError, languageOffset);
    return QString::fromLocal8Bit(error.what());
}

namespace {
// Made readable on one line, as a recording writes it.
QString escapedText(const QString& text) {
    return QString::fromLatin1(Recording::escape(text.toLatin1()));
}

QString hex2(int value) {
    return QString::number(static_cast<unsigned int>(value), 16).toUpper().rightJustified(2, '0');
}
} // namespace

QString AttemptSeenText(const AttemptSeen& seen, int address, int languageOffset) {
    const auto text = [languageOffset](int id) { return LoadStr(id + languageOffset); };
    const QString unit = hex2(address);
    switch (seen.what) {
    case AttemptSeen::What::Nothing:
        // Tried with DTR on as well: a plain cable may lack its power.
        if (seen.dtrTried)
            return text(TeamText::SeenNothing) + QLatin1Char('\n') +
                   text(CableText::NoInterfaceHint);
        return text(TeamText::SeenNothing);
    case AttemptSeen::What::WakeUpOnly:
        return text(TeamText::SeenWakeUpOnly).arg(escapedText(seen.received));
    case AttemptSeen::What::NoChipName:
        // Six silent resets: there is no answer to show.
        if (seen.received.isEmpty())
            return text(TeamText::SeenNothing);
        return text(TeamText::SeenNoChipName).arg(escapedText(seen.received));
    case AttemptSeen::What::UnitSilent:
        return text(TeamText::SeenUnitSilent).arg(unit);
    case AttemptSeen::What::ErrorWord:
        return text(TeamText::SeenErrorWord).arg(unit, escapedText(seen.received));
    }
    return QString();
}

void IdentificationTexts(TecuID& identification, int languageOffset) {
    const auto labelled = [languageOffset](int id, const QString& number) {
        return number.isEmpty() ? QString()
                                : LoadStr(id + languageOffset) + QStringLiteral(": ") + number;
    };
    identification.EXT = labelled(118, identification.DeviceNumber);
    identification.IMP = labelled(117, identification.ImporterNumber);
}

QString DemoInterfaceName(int languageOffset) {
    return LoadStr(TeamText::DemoInterface + languageOffset);
}

QStringList DemoInterfaceNames() {
    return {DemoInterfaceName(0), DemoInterfaceName(EnglishStringOffset)};
}

bool IsDemoInterfaceName(const QString& name) {
    return DemoInterfaceNames().contains(name);
}

QString DemoKLineName(int languageOffset) {
    return LoadStr(CableText::DemoKLine + languageOffset);
}

QStringList DemoKLineNames() {
    return {DemoKLineName(0), DemoKLineName(EnglishStringOffset)};
}

bool IsDemoKLineName(const QString& name) {
    return DemoKLineNames().contains(name);
}

QStringList DemoEntryNames(int languageOffset) {
    return {DemoInterfaceName(languageOffset), DemoKLineName(languageOffset)};
}

QString PortAdapterText(const PortEntry& entry, int languageOffset) {
    if (!entry.adapter.usb)
        return QString();
    QStringList about;
    const QString name =
        QStringList{entry.adapter.manufacturer, entry.adapter.product}.join(QLatin1Char(' '));
    if (!name.trimmed().isEmpty())
        about << name.trimmed();
    if (!entry.adapter.serial.isEmpty())
        about << LoadStr(TeamText::PortSerialNumber + languageOffset).arg(entry.adapter.serial);
    if (entry.path != entry.device)
        about << QFileInfo(entry.device).fileName();
    return about.join(QStringLiteral(", "));
}

QString PortEntryText(const PortEntry& entry, int languageOffset) {
    const QString about = PortAdapterText(entry, languageOffset);
    return about.isEmpty() ? entry.path : entry.path + QStringLiteral("  \u2013  ") + about;
}

QString TraceWriteFailureMessage(const QString& reason, int languageOffset) {
    const QString text = LoadStr(TeamText::TraceWriteFailed + languageOffset);
    return reason.isEmpty() ? text : text + QLatin1Char('\n') + reason;
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
