#include "open_port.h"

#include "config/strings.h"
#include "debug_trace.h"
#include "port_list.h"
#include "serial_port.h"

#include <QFile>
#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <vector>

namespace {
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
    if (adminOnly)
        return LoadStr(TeamText::PortAdminOnly + languageOffset).arg(device);
    return LoadStr(TeamText::PortGroup + languageOffset).arg(device, ownerGroup);
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
            return fail(LoadStr(TeamText::DemoUnavailable + languageOffset));
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
