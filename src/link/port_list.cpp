#include "port_list.h"

#include "config/strings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {
QString readAttribute(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(f.read(64)).trimmed();
}

void addUnique(QStringList& list, const QString& name) {
    if (!list.contains(name, Qt::CaseInsensitive))
        list.append(name);
}

// Unix98 pseudo-terminal slaves (/dev/pts/N) have no sysfs entry.
bool isPtySlaveMajor(unsigned int major) {
    return major >= 136 && major <= 143;
}
} // namespace

QString DemoInterfaceName(int languageOffset) {
    return LoadStr(TeamText::DemoInterface + languageOffset);
}

bool IsDemoInterfaceName(const QString& name) {
    return name == DemoInterfaceName(0) || name == DemoInterfaceName(EnglishStringOffset);
}

QStringList SystemSerialPorts(const PortSearchRoots& roots) {
    QStringList ports;
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
                addUnique(ports, dev.filePath(name));
        }
    } else {
        // Without sysfs, take the adapter names, which only exist when plugged in.
        const QStringList names =
            dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                          QDir::System | QDir::Files, QDir::Name);
        for (const QString& name : names)
            addUnique(ports, dev.filePath(name));
    }
    ports.sort(Qt::CaseSensitive);
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

QStringList EnumerateComPorts(const QString& configuredPort, int languageOffset,
                              const PortSearchRoots& roots) {
    QStringList ports = SystemSerialPorts(roots);
    const QString configured = configuredPort.trimmed();
    if (configured.startsWith(QLatin1Char('/')) &&
        !ports.contains(configured, Qt::CaseInsensitive) &&
        IsTerminalDevice(configured, roots.sys)) {
        ports.append(configured);
        ports.sort(Qt::CaseSensitive);
    }
    ports.append(DemoInterfaceName(languageOffset));
    return ports;
}

int PreselectedPortIndex(const QStringList& entries, const QString& configuredPort) {
    if (entries.isEmpty())
        return -1;
    const int exact = entries.indexOf(configuredPort.trimmed());
    return exact >= 0 ? exact : 0;
}
