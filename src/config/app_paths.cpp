#include "config/app_paths.h"

#include "config/user_data.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcFiles, "vandrix.files", QtWarningMsg)

namespace {
// The installed data tree beside <prefix>/bin; empty when there is none.
QString installedDataDir(const QString& programDir) {
    const QString dir =
        QDir::cleanPath(programDir + QStringLiteral("/../share/") + AppPaths::FolderName);
    return QFileInfo(dir).isDir() ? dir : QString();
}

QString xdgFolder(QStandardPaths::StandardLocation location) {
    return QDir(QStandardPaths::writableLocation(location)).filePath(AppPaths::FolderName);
}
} // namespace

AppPaths AppPaths::ForProgram(const QString& programDir) {
    AppPaths paths;
    paths.m_programDir = programDir;
    const QString shipped = installedDataDir(programDir);
    if (shipped.isEmpty()) {
        const QDir dir(programDir);
        paths.m_configFile = dir.filePath(ConfigFileName);
        paths.m_shippedConfig = paths.m_configFile;
        paths.m_dataDirs = {programDir};
        paths.m_userDataDir = programDir;
        return paths;
    }
    paths.m_layout = Layout::Installed;
    paths.m_configFile =
        QDir(xdgFolder(QStandardPaths::GenericConfigLocation)).filePath(ConfigFileName);
    paths.m_shippedConfig = QDir(shipped).filePath(ConfigFileName);
    paths.m_userDataDir = xdgFolder(QStandardPaths::GenericDataLocation);
    paths.m_dataDirs = {paths.m_userDataDir, shipped};
    return paths;
}

QString AppPaths::RunningProgramDir() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return QString();
    return QFileInfo(QFile::decodeName(QByteArray(buf, n))).absolutePath();
}

AppPaths AppPaths::ForRunningProgram() {
    return ForProgram(RunningProgramDir());
}

AppPaths AppPaths::Custom(Layout layout, const QString& configFile, const QString& shippedConfig,
                          const QStringList& dataDirs, const QString& userDataDir) {
    AppPaths paths;
    paths.m_layout = layout;
    paths.m_configFile = configFile;
    paths.m_shippedConfig = shippedConfig;
    paths.m_dataDirs = dataDirs;
    paths.m_userDataDir = userDataDir;
    return paths;
}

QString AppPaths::prepareConfigFile() const {
    if (m_configFile.isEmpty())
        return QString();
    if (!installed() || QFileInfo(m_configFile).isFile()) {
        qCDebug(lcFiles) << "configuration" << m_configFile;
        return m_configFile;
    }
    if (!QFileInfo(m_shippedConfig).isFile()) {
        qCDebug(lcFiles) << "no configuration: neither" << m_configFile << "nor" << m_shippedConfig;
        return QString();
    }
    // The copy keeps the installed file's read-only mode; the user owns it.
    if (MakePrivateFolder(QFileInfo(m_configFile).path()) &&
        QFile::copy(m_shippedConfig, m_configFile)) {
        QFile::setPermissions(m_configFile, PrivateFileMode);
        qCDebug(lcFiles) << "configuration" << m_configFile << "made from" << m_shippedConfig;
        return m_configFile;
    }
    qCWarning(lcFiles) << "cannot write" << m_configFile << "- reading" << m_shippedConfig;
    return m_shippedConfig;
}

QString AppPaths::findDataFile(const QString& relativePath) const {
    for (const QString& dir : m_dataDirs) {
        const QString path = QDir(dir).filePath(relativePath);
        if (QFileInfo(path).isFile()) {
            qCDebug(lcFiles) << "data" << relativePath << "from" << path;
            return path;
        }
    }
    qCDebug(lcFiles) << "data" << relativePath << "not found in" << m_dataDirs;
    return QString();
}

QString AppPaths::documentsDir() const {
    if (!installed())
        return QString();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString AppPaths::userFile(const QString& relativePath) const {
    if (m_userDataDir.isEmpty())
        return QString();
    const QString path = QDir(m_userDataDir).filePath(relativePath);
    if (!MakePrivateFolder(QFileInfo(path).path()))
        return QString();
    return path;
}
