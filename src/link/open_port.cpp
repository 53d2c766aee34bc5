#include "open_port.h"

#include "config/strings.h"
#include "debug_trace.h"
#include "port_list.h"
#include "serial_port.h"

#include <QFile>
#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
bool english(int languageOffset) {
    return languageOffset >= EnglishStringOffset;
}

// The message 300 alone says "blocked by another program" for every cause;
// the second line tells the user what actually stands in the way.
QString failureDetail(const ESerialPort& e, const QString& device, int languageOffset) {
    if (e.WinCode == EACCES || e.WinCode == EPERM)
        return PortPermissionHint(device, DeviceOwnerGroup(device), languageOffset);
    return e.Reason;
}
} // namespace

QString PortOpenMessage(const QString& portName, int languageOffset, const QString& detail) {
    QString text = portName + QStringLiteral(": ") + LoadStr(300 + languageOffset);
    if (!detail.isEmpty())
        text += QLatin1Char('\n') + detail;
    return text;
}

QString PortPermissionHint(const QString& device, const QString& ownerGroup, int languageOffset) {
    const bool adminOnly = ownerGroup.isEmpty() || ownerGroup == QStringLiteral("root");
    if (english(languageOffset)) {
        if (adminOnly)
            return QStringLiteral("Permission denied: only the administrator may open %1. Ask "
                                  "the administrator to give it to a group for serial devices "
                                  "(for example dialout), join that group and log in again.")
                .arg(device);
        return QStringLiteral("Permission denied: %1 belongs to the group \"%2\". Add your user "
                              "to that group (sudo usermod -aG %2 $USER), then log out and log "
                              "in again.")
            .arg(device, ownerGroup);
    }
    if (adminOnly)
        return QStringLiteral("Keine Berechtigung: nur der Administrator darf %1 öffnen. Bitten "
                              "Sie ihn, das Gerät einer Gruppe für serielle Geräte zu geben "
                              "(zum Beispiel dialout), treten Sie dieser Gruppe bei und melden "
                              "Sie sich neu an.")
            .arg(device);
    return QStringLiteral("Keine Berechtigung: %1 gehört der Gruppe \"%2\". Nehmen Sie Ihren "
                          "Benutzer in diese Gruppe auf (sudo usermod -aG %2 $USER), melden "
                          "Sie sich dann ab und wieder an.")
        .arg(device, ownerGroup);
}

QString DeviceOwnerGroup(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    group grp{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (getgrgid_r(st.st_gid, &grp, buffer.data(), buffer.size(), &found) != 0 || !found)
        return QString();
    return QString::fromLocal8Bit(found->gr_name);
}

bool MayOpenDevice(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
}

OpenPortResult OpenPort(TCustomSerialPort& port, const QString& portName, int languageOffset,
                        DebugTrace* trace, const DemoStarter& demo) {
    OpenPortResult result;
    result.caption = LoadStr(301 + languageOffset);
    const auto fail = [&](const QString& detail) {
        result.ok = false;
        result.message = PortOpenMessage(portName, languageOffset, detail);
        return result;
    };

    QString device = portName;
    if (IsDemoInterfaceName(portName)) {
        if (!demo)
            return fail(english(languageOffset)
                            ? QStringLiteral("The demo interface is not available in this build.")
                            : QStringLiteral("Das Demo-Interface ist in dieser Version nicht "
                                             "verfügbar."));
        QString error;
        device.clear();
        if (!demo(device, error) || device.isEmpty())
            return fail(error);
    }

    try {
        port.SetPort(device);
        port.SetBaudRate(br19200);
        port.Open();
    } catch (const ESerialPort& e) {
        return fail(failureDetail(e, device, languageOffset));
    } catch (const std::exception& e) {
        return fail(QString::fromLocal8Bit(e.what()));
    }

    result.ok = port.Connected();
    if (!result.ok)
        result.message = PortOpenMessage(portName, languageOffset, QString());
    // A failing trace switches itself off and tells the window; the port is fine.
    if (trace)
        trace->Value(QStringLiteral("Open ") + portName, 0);
    return result;
}
