#include "config/user_data.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <sys/stat.h>

QString UserDataPath(const QString& relative) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vandrix/") + relative;
}

bool MakePrivateFolder(const QString& path) {
    if (path.isEmpty())
        return false;
    // QDir::mkpath would make the missing levels with the umask's mode.
    QStringList missing;
    for (QString level = QDir::cleanPath(QDir(path).absolutePath());
         !QFileInfo::exists(level) && !QDir(level).isRoot(); level = QFileInfo(level).path())
        missing.prepend(level);
    // Another instance making the same folder at the same time is no failure.
    for (const QString& level : missing)
        ::mkdir(QFile::encodeName(level).constData(), S_IRWXU);
    return QFileInfo(path).isDir();
}
