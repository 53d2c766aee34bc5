#include "link/port_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {
QString readAttribute(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(f.read(64)).trimmed();
}

// USB string descriptors are UTF-16 on the wire; the kernel hands them on as UTF-8.
QString readUsbString(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.read(256)).trimmed();
}

bool containsPath(const QList<PortEntry>& list, const QString& path) {
    return std::any_of(list.begin(), list.end(), [&](const PortEntry& e) {
        return e.path.compare(path, Qt::CaseInsensitive) == 0;
    });
}

void addUnique(QList<PortEntry>& list, const PortEntry& entry) {
    if (!containsPath(list, entry.path))
        list.append(entry);
}

void sortByPath(QList<PortEntry>& list) {
    std::stable_sort(list.begin(), list.end(),
                     [](const PortEntry& a, const PortEntry& b) { return a.path < b.path; });
}

// The udev links of /dev/serial/by-id by the device each one names.
QHash<QString, QString> stableLinks(const QString& devRoot) {
    QHash<QString, QString> links;
    const QDir byId(devRoot + QStringLiteral("/serial/by-id"));
    const QStringList names = byId.entryList(QDir::Files | QDir::System, QDir::Name);
    for (const QString& name : names) {
        const QString link = byId.filePath(name);
        const QString target = QFileInfo(link).canonicalFilePath();
        if (!target.isEmpty() && !links.contains(target))
            links.insert(target, link);
    }
    return links;
}

// Unix98 pseudo-terminal slaves (/dev/pts/N) have no sysfs entry.
bool isPtySlaveMajor(unsigned int major) {
    return major >= 136 && major <= 143;
}
} // namespace

SerialAdapter UsbAdapterOf(const QString& ttyName, const PortSearchRoots& roots) {
    SerialAdapter adapter;
    const QString sysRoot = QFileInfo(roots.sys).canonicalFilePath();
    QString dir =
        QFileInfo(roots.sys + QStringLiteral("/class/tty/") + ttyName + QStringLiteral("/device"))
            .canonicalFilePath();
    // A USB serial driver's terminal hangs below an interface of the USB
    // device; the device's folder is the first one up with a vendor id.
    while (!sysRoot.isEmpty() && dir.startsWith(sysRoot + QLatin1Char('/'))) {
        if (QFileInfo::exists(dir + QStringLiteral("/idVendor"))) {
            adapter.usb = true;
            adapter.manufacturer = readUsbString(dir + QStringLiteral("/manufacturer"));
            adapter.product = readUsbString(dir + QStringLiteral("/product"));
            adapter.serial = readUsbString(dir + QStringLiteral("/serial"));
            break;
        }
        dir = QFileInfo(dir).path();
    }
    return adapter;
}

QStringList SystemSerialPorts(const PortSearchRoots& roots) {
    QStringList ports;
    for (const PortEntry& entry : SystemSerialPortEntries(roots))
        ports.append(entry.path);
    return ports;
}

QList<PortEntry> SystemSerialPortEntries(const PortSearchRoots& roots) {
    QList<PortEntry> ports;
    const QHash<QString, QString> links = stableLinks(roots.dev);
    const auto entryFor = [&](const QString& name) {
        PortEntry entry;
        entry.device = QDir(roots.dev).filePath(name);
        entry.adapter = UsbAdapterOf(name, roots);
        entry.path = entry.device;
        if (entry.adapter.usb)
            entry.path = links.value(QFileInfo(entry.device).canonicalFilePath(), entry.device);
        return entry;
    };
    const QDir dev(roots.dev);
    const QDir ttyClass(roots.sys + QStringLiteral("/class/tty"));
    if (ttyClass.exists()) {
        const QStringList names =
            ttyClass.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
        for (const QString& name : names) {
            const QString attr = ttyClass.filePath(name) + QLatin1Char('/');
            // Virtual consoles, ptmx and the like have no device behind them.
            if (!QFileInfo::exists(attr + QStringLiteral("device")))
                continue;
            // The 8250 driver registers placeholder ports whether a UART is
            // fitted or not; type 0 means no chip answered.
            if (readAttribute(attr + QStringLiteral("type")) == QStringLiteral("0"))
                continue;
            // A serial console belongs to the system, never to an interface.
            if (readAttribute(attr + QStringLiteral("console")) == QStringLiteral("Y"))
                continue;
            if (QFileInfo::exists(dev.filePath(name)))
                addUnique(ports, entryFor(name));
        }
    } else {
        // Without sysfs, take the adapter names, which only exist when plugged in.
        const QStringList names =
            dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                          QDir::System | QDir::Files, QDir::Name);
        for (const QString& name : names)
            addUnique(ports, entryFor(name));
    }
    sortByPath(ports);
    return ports;
}

bool IsTerminalDevice(const QString& path, const QString& sysRoot) {
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 ||
        !S_ISCHR(st.st_mode))
        return false;
    const unsigned int maj = major(st.st_rdev);
    if (isPtySlaveMajor(maj))
        return true;
    const QString subsystem =
        sysRoot + QStringLiteral("/dev/char/%1:%2/subsystem").arg(maj).arg(minor(st.st_rdev));
    return QFileInfo(QFileInfo(subsystem).symLinkTarget()).fileName() == QStringLiteral("tty");
}

QStringList EnumerateComPorts(const QString& configuredPort, const QString& demoName,
                              const PortSearchRoots& roots) {
    return EnumerateComPorts(configuredPort, QStringList{demoName}, roots);
}

QStringList EnumerateComPorts(const QString& configuredPort, const QStringList& demoNames,
                              const PortSearchRoots& roots) {
    QStringList ports;
    for (const PortEntry& entry : PortListEntries(configuredPort, demoNames, roots))
        ports.append(entry.path);
    return ports;
}

QList<PortEntry> PortListEntries(const QString& configuredPort, const QString& demoName,
                                 const PortSearchRoots& roots) {
    return PortListEntries(configuredPort, QStringList{demoName}, roots);
}

QList<PortEntry> PortListEntries(const QString& configuredPort, const QStringList& demoNames,
                                 const PortSearchRoots& roots) {
    QList<PortEntry> ports = SystemSerialPortEntries(roots);
    const QString configured = configuredPort.trimmed();
    if (configured.startsWith(QLatin1Char('/')) && !containsPath(ports, configured) &&
        IsTerminalDevice(configured, roots.sys)) {
        ports.append(PortEntry{configured, QString(), {}});
        sortByPath(ports);
    }
    for (const QString& demoName : demoNames)
        ports.append(PortEntry{demoName, QString(), {}});
    return ports;
}

QString PortShortName(const PortEntry& entry) {
    if (entry.adapter.usb) {
        for (const QString& name : {entry.adapter.product, entry.adapter.manufacturer})
            if (!name.trimmed().isEmpty())
                return name.trimmed();
    }
    const QString path = entry.device.isEmpty() ? entry.path : entry.device;
    if (path.startsWith(QLatin1String("/dev/")))
        return path.mid(5);
    return path.startsWith(QLatin1Char('/')) ? QFileInfo(path).fileName() : path;
}

int PreselectedPortIndex(const QStringList& entries, const QString& configuredPort) {
    if (entries.isEmpty())
        return -1;
    const int exact = entries.indexOf(configuredPort.trimmed());
    return exact >= 0 ? exact : 0;
}
