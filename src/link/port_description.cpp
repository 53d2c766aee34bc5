#include "link/port_description.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString attribute(const QDir& dir, const QString& name) {
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.read(256)).trimmed();
}
} // namespace

QString SerialPortDescription(const QString& devicePath, const PortSearchRoots& roots) {
    const QFileInfo node(devicePath);
    const QString target = node.isSymLink() ? node.canonicalFilePath() : node.absoluteFilePath();
    const QString name = QFileInfo(target).fileName();
    if (name.isEmpty())
        return QString();
    const QFileInfo device(roots.sys + QStringLiteral("/class/tty/") + name +
                           QStringLiteral("/device"));
    if (!device.exists())
        return QString();
    // The tty hangs below the USB interface, which hangs below the device
    // that carries the descriptor strings.
    QDir dir(device.canonicalFilePath());
    for (int up = 0; up < 4; ++up) {
        const QString product = attribute(dir, QStringLiteral("product"));
        if (!product.isEmpty()) {
            const QString maker = attribute(dir, QStringLiteral("manufacturer"));
            if (maker.isEmpty() || product.contains(maker, Qt::CaseInsensitive))
                return product;
            return maker + QLatin1Char(' ') + product;
        }
        if (!dir.cdUp())
            break;
    }
    return QString();
}
