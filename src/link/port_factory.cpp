#include "link/port_factory.h"

#include "link/debug_trace.h"
#include "link/serial_port.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

PortOpenFailure PortOpenError::kindOf(int errorNumber) {
    switch (errorNumber) {
    case 0:
        return PortOpenFailure::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return PortOpenFailure::Missing;
    case ENOTTY:
    case EISDIR:
        return PortOpenFailure::NotATerminal;
    case EBUSY:
    case EWOULDBLOCK:
        return PortOpenFailure::Busy;
    case EACCES:
    case EPERM:
        return PortOpenFailure::PermissionDenied;
    default:
        return PortOpenFailure::Other;
    }
}

PortFactory PortFactory::custom(Maker maker) {
    PortFactory factory;
    factory.m_maker = std::move(maker);
    return factory;
}

void PortFactory::addKind(PortKind kind, std::function<bool(const QString& portName)> takes,
                          KindMaker maker) {
    m_added.push_back({kind, std::move(takes), std::move(maker)});
}

const PortFactory::AddedKind* PortFactory::addedKindOf(const QString& portName) const {
    for (const AddedKind& added : m_added)
        if (added.takes && added.takes(portName))
            return &added;
    return nullptr;
}

PortKind PortFactory::kindOf(const QString& portName) const {
    if (const AddedKind* added = addedKindOf(portName))
        return added->kind;
    return m_demoNames.contains(portName) ? PortKind::Demo : PortKind::ChipInterface;
}

bool PortFactory::hasKind(PortKind kind) const {
    return std::any_of(m_added.begin(), m_added.end(),
                       [kind](const AddedKind& added) { return added.kind == kind; });
}

std::unique_ptr<ByteStream> PortFactory::makeAs(PortKind kind, const QString& portName,
                                                PortOpenError& error) const {
    error = PortOpenError{};
    for (const AddedKind& added : m_added)
        if (added.kind == kind)
            return added.make(portName, error);
    error.kind = PortOpenFailure::Other;
    return nullptr;
}

std::unique_ptr<ByteStream> PortFactory::make(const QString& portName, PortOpenError& error) const {
    error = PortOpenError{};
    if (m_maker)
        return m_maker(portName);
    if (const AddedKind* added = addedKindOf(portName))
        return added->make(portName, error);
    QString device = portName;
    if (m_demoNames.contains(portName)) {
        if (!m_demo) {
            error.kind = PortOpenFailure::DemoUnavailable;
            return nullptr;
        }
        QString reason;
        device.clear();
        if (!m_demo(device, reason) || device.isEmpty()) {
            error.kind = PortOpenFailure::DemoFailed;
            error.detail = reason;
            return nullptr;
        }
    } else if (portName.isEmpty()) {
        error.kind = PortOpenFailure::NoName;
        return nullptr;
    }
    auto port = std::make_unique<TSerialPort>();
    port->SetPort(device);
    port->SetBaudRate(br19200);
    return port;
}

std::unique_ptr<ByteStream> PortFactory::open(const QString& portName, PortOpenError& error,
                                              DebugTrace* trace) const {
    std::unique_ptr<ByteStream> stream = make(portName, error);
    if (!stream)
        return nullptr;
    error = OpenStream(*stream, portName, trace);
    return stream;
}

PortOpenError OpenStream(ByteStream& stream, const QString& portName, DebugTrace* trace) {
    PortOpenError error;
    error.device = stream.name();
    try {
        stream.Open();
    } catch (const ESerialPort& e) {
        error.errorNumber = e.WinCode > 0 ? e.WinCode : 0;
        error.kind =
            error.errorNumber ? PortOpenError::kindOf(error.errorNumber) : PortOpenFailure::Other;
        error.detail = e.Reason;
        if (error.device.isEmpty())
            error.kind = PortOpenFailure::NoName;
        if (error.kind == PortOpenFailure::PermissionDenied) {
            error.deviceGroup = DeviceOwnerGroup(error.device);
            error.inDeviceGroup = ProcessInGroup(error.deviceGroup);
        }
        return error;
    } catch (const std::exception& e) {
        error.kind = PortOpenFailure::Other;
        error.detail = QString::fromLocal8Bit(e.what());
        return error;
    }
    if (!stream.Connected())
        error.kind = PortOpenFailure::NotOpen;
    else
        SetConnectionTimeouts(stream);
    // A failing trace switches itself off and tells the window; the port is fine.
    if (trace)
        trace->Value(QStringLiteral("Open ") + portName, 0);
    return error;
}

PortOpenError OpenConnectionPort(TCustomSerialPort& port, const QString& device,
                                 DebugTrace* trace) {
    port.SetPort(device);
    port.SetBaudRate(br19200);
    return OpenStream(port, device, trace);
}

void SetConnectionTimeouts(ByteStream& port) {
    port.SetReadInterval(-1);
    port.SetReadTotalConstant(1000);
    port.SetReadTotalMultiplier(-1);
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

bool ProcessInGroup(const QString& name) {
    if (name.isEmpty())
        return false;
    group grp{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (getgrnam_r(QFile::encodeName(name).constData(), &grp, buffer.data(), buffer.size(),
                   &found) != 0 ||
        !found)
        return false;
    if (found->gr_gid == getegid())
        return true;
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> groups(size_t(std::max(count, 0)));
    if (count > 0 && getgroups(count, groups.data()) == count)
        for (gid_t g : groups)
            if (g == found->gr_gid)
                return true;
    return false;
}

bool MayOpenDevice(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
}
