// The installed tree: `cmake --install` into a temporary prefix, then the
// files there, the desktop files through their validators, and the installed
// programs started from the prefix with the user's folders in a temporary
// home, as a user who installed the program would start it.
#include "support/qt_printers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QXmlStreamReader>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString AppId = QStringLiteral("example.vandrix.Vandrix");

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Every file and folder below root with its size and time of change.
QMap<QString, QString> snapshot(const QString& root) {
    QMap<QString, QString> files;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        files.insert(QDir(root).relativeFilePath(info.filePath()),
                     info.isDir() ? QStringLiteral("dir")
                                  : QString::number(info.size()) + QLatin1Char('@') +
                                        info.lastModified().toString(Qt::ISODateWithMs));
    }
    return files;
}

// The key of a desktop entry's main group.
QString desktopKey(const QByteArray& entry, const QByteArray& key) {
    for (const QByteArray& line : entry.split('\n'))
        if (line.startsWith(key + '='))
            return QString::fromUtf8(line.mid(key.size() + 1)).trimmed();
    return QString();
}

class InstallTree : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "install_tree_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        s_root = std::make_unique<QTemporaryDir>();
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(qEnvironmentVariable("VANDRIX_CMAKE", QStringLiteral("cmake")),
                      {QStringLiteral("--install"), qEnvironmentVariable("VANDRIX_BUILD_DIR"),
                       QStringLiteral("--prefix"), prefix()});
        s_installed = install.waitForFinished(120000) &&
                      install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0;
        s_installLog = QString::fromLocal8Bit(install.readAll());
    }
    static void TearDownTestSuite() { s_root.reset(); }

    void SetUp() override {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("VANDRIX_BUILD_DIR"));
        ASSERT_TRUE(s_installed) << s_installLog.toStdString();
    }

    static QString prefix(const QString& path = {}) {
        return QDir(s_root->filePath(QStringLiteral("prefix"))).filePath(path);
    }
    static QString user(const QString& path) { return s_root->filePath("user/" + path); }

    // The installed program's environment: the user's folders in the
    // temporary home (made here), no hint at the source tree.
    static QProcessEnvironment userEnvironment() {
        QDir().mkpath(user("cwd"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"VANDRIX_DATA", "VANDRIX_BIN", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"})
            env.remove(QString::fromLatin1(name));
        const std::pair<const char*, const char*> homes[] = {{"HOME", "home"},
                                                             {"XDG_CONFIG_HOME", "config"},
                                                             {"XDG_DATA_HOME", "data"},
                                                             {"XDG_CACHE_HOME", "cache"},
                                                             {"XDG_STATE_HOME", "state"},
                                                             {"XDG_RUNTIME_DIR", "runtime"}};
        for (const auto& [name, folder] : homes) {
            QDir().mkpath(user(folder));
            env.insert(QString::fromLatin1(name), user(folder));
        }
        QFile::setPermissions(user("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("vandrix.files.debug=true"));
        return env;
    }

    // Starts the installed program, waits until its diagnostics show line,
    // lets it settle, and ends it. Returns what it wrote to stderr.
    static QString runProgramUntil(const QString& line) {
        QProcess program;
        program.setProcessEnvironment(userEnvironment());
        program.setWorkingDirectory(user("cwd"));
        program.start(prefix("bin/vandrix"), {});
        EXPECT_TRUE(program.waitForStarted(10000));
        QString err;
        QElapsedTimer clock;
        clock.start();
        while (!err.contains(line) && clock.elapsed() < 30000 &&
               program.state() == QProcess::Running) {
            program.waitForReadyRead(200);
            err += QString::fromLocal8Bit(program.readAllStandardError());
        }
        EXPECT_TRUE(err.contains(line)) << err.toStdString();
        // Up with its window (and the banner) before it is ended.
        QThread::msleep(500);
        EXPECT_EQ(program.state(), QProcess::Running) << "ended by itself:\n" << err.toStdString();
        program.terminate();
        if (!program.waitForFinished(5000)) {
            program.kill();
            program.waitForFinished(5000);
        }
        return err + QString::fromLocal8Bit(program.readAllStandardError());
    }

    static inline std::unique_ptr<QTemporaryDir> s_root;
    static inline bool s_installed = false;
    static inline QString s_installLog;
};

TEST_F(InstallTree, ProgramsDataAndDesktopFilesGoWhereALinuxDesktopLooks) {
    const QStringList expected{
        "bin/vandrix",
        "bin/vandrix-cli",
        "bin/vandrix-sim",
        "share/vandrix/vandrix.ini",
        "share/vandrix/autoscan.ini",
        "share/vandrix/dtc_list_de.ini",
        "share/vandrix/dtc_list_en.ini",
        "share/vandrix/dtc_status_de.ini",
        "share/vandrix/dtc_status_en.ini",
        "share/vandrix/labelfiles_de/036906034AM.ini",
        "share/vandrix/labelfiles_en/036906034AM.ini",
        "share/vandrix/scenarios/demo_car.ini",
        "share/applications/" + AppId + ".desktop",
        "share/icons/hicolor/scalable/apps/" + AppId + ".svg",
        "share/metainfo/" + AppId + ".metainfo.xml",
        "share/man/man1/vandrix.1.gz",
        "share/man/man1/vandrix-cli.1.gz",
        "share/man/man1/vandrix-sim.1.gz",
        "share/doc/vandrix/copyright",
        "share/doc/vandrix/changelog.Debian.gz",
        "share/bash-completion/completions/vandrix-cli",
        "share/zsh/vendor-completions/_vandrix-cli",
    };
    for (const QString& path : expected)
        EXPECT_TRUE(QFileInfo(prefix(path)).isFile()) << path.toStdString();
    for (const char* program : {"bin/vandrix", "bin/vandrix-cli", "bin/vandrix-sim"})
        EXPECT_TRUE(QFileInfo(prefix(program)).isExecutable()) << program;

    // Nothing else: no build leftovers, no data beside the programs.
    const QStringList places{"bin/vandrix",
                             "share/vandrix/",
                             "share/applications/",
                             "share/icons/",
                             "share/metainfo/",
                             "share/man/man1/",
                             "share/doc/vandrix/",
                             "share/bash-completion/completions/vandrix-cli",
                             "share/zsh/vendor-completions/_vandrix-cli"};
    for (const QString& path : snapshot(prefix()).keys()) {
        if (QFileInfo(prefix(path)).isDir())
            continue;
        EXPECT_TRUE(std::any_of(places.begin(), places.end(), [&](const QString& p) {
            return path.startsWith(p);
        })) << path.toStdString();
    }

    // The desktop entry starts the installed program and names the icon; the
    // metainfo names the entry.
    const QByteArray entry = readFile(prefix("share/applications/" + AppId + ".desktop"));
    EXPECT_TRUE(QFileInfo(prefix("bin/" + desktopKey(entry, "Exec"))).isExecutable());
    EXPECT_EQ(desktopKey(entry, "Icon"), AppId);
    const QByteArray metainfo = readFile(prefix("share/metainfo/" + AppId + ".metainfo.xml"));
    EXPECT_TRUE(metainfo.contains("<id>" + AppId.toUtf8() + "</id>"));
    EXPECT_TRUE(metainfo.contains(">" + AppId.toUtf8() + ".desktop</launchable>"));

    // The icon is a square SVG.
    QXmlStreamReader svg(readFile(prefix("share/icons/hicolor/scalable/apps/" + AppId + ".svg")));
    ASSERT_TRUE(svg.readNextStartElement());
    EXPECT_EQ(svg.name(), QStringLiteral("svg"));
    const QStringList box = svg.attributes().value("viewBox").toString().split(' ');
    ASSERT_EQ(box.size(), 4);
    EXPECT_EQ(box[2], box[3]);
    while (!svg.atEnd())
        svg.readNext();
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
}

TEST_F(InstallTree, DesktopEntryAndMetainfoPassTheirValidators) {
    const QString desktopValidate = QStandardPaths::findExecutable("desktop-file-validate");
    const QString appstream = QStandardPaths::findExecutable("appstreamcli");
    if (desktopValidate.isEmpty() || appstream.isEmpty())
        GTEST_SKIP() << "desktop-file-validate or appstreamcli is not installed";
    const struct {
        QString tool;
        QStringList args;
    } checks[] = {
        {desktopValidate, {prefix("share/applications/" + AppId + ".desktop")}},
        {appstream, {"validate", "--no-net", prefix("share/metainfo/" + AppId + ".metainfo.xml")}},
    };
    for (const auto& check : checks) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(check.tool, check.args);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << check.tool.toStdString() << ":\n"
                                   << p.readAll().toStdString();
    }
}

TEST_F(InstallTree, InstalledProgramReadsItsDataFromShareAndWritesOnlyTheUsersConfiguration) {
    userEnvironment();
    const QMap<QString, QString> before = snapshot(s_root->path());
    const QString shared = prefix("share/vandrix/");
    const QString config = user("config/vandrix/vandrix.ini");

    const QString err = runProgramUntil("dtc_status_de.ini");
    EXPECT_TRUE(err.contains("made from \"" + shared + "vandrix.ini\"")) << err.toStdString();
    for (const char* file : {"autoscan.ini", "dtc_list_de.ini", "dtc_status_de.ini"})
        EXPECT_TRUE(err.contains("from \"" + shared + file + "\"")) << file;
    EXPECT_TRUE(err.contains("Qt translation")) << err.toStdString();
    EXPECT_EQ(readFile(config), readFile(shared + "vandrix.ini"));

    // Its configuration, and nothing else of its own: the tree, the home, the
    // data folder and the working folder are as they were. (The cache and
    // runtime folders are the libraries' below it.)
    const QMap<QString, QString> after = snapshot(s_root->path());
    for (auto it = after.begin(); it != after.end(); ++it) {
        if (it.key().startsWith("user/cache") || it.key().startsWith("user/runtime") ||
            before.value(it.key()) == it.value())
            continue;
        EXPECT_TRUE(it.key() == "user/config/vandrix" ||
                    it.key() == "user/config/vandrix/vandrix.ini")
            << "written: " << it.key().toStdString();
    }
    for (const QString& path : before.keys())
        EXPECT_TRUE(after.contains(path)) << "removed: " << path.toStdString();

    // The next start reads what the user made of it, and leaves it.
    const QByteArray changed = "[Config]\nSprache=en\nSplash=nein\n";
    writeFile(config, changed);
    const QString again = runProgramUntil("dtc_status_en.ini");
    EXPECT_TRUE(again.contains("configuration \"" + config + "\"")) << again.toStdString();
    EXPECT_FALSE(again.contains("made from"));
    EXPECT_EQ(readFile(config), changed);
}

TEST_F(InstallTree, InstalledSimulatorFindsItsScenarioInShare) {
    QProcess sim;
    sim.setProcessEnvironment(userEnvironment());
    sim.start(prefix("bin/vandrix-sim"), {});
    ASSERT_TRUE(sim.waitForStarted(10000));
    QByteArray out;
    while (!out.contains('\n') && sim.waitForReadyRead(10000))
        out += sim.readAllStandardOutput();
    const QByteArray err = sim.readAllStandardError();
    sim.terminate();
    sim.waitForFinished(5000);
    EXPECT_TRUE(out.startsWith("/dev/pts/")) << out.toStdString() << err.toStdString();
}

} // namespace

namespace {
TEST_F(InstallTree, InstalledCommandLineReadsTheSharedFaultTexts) {
    QProcess cli;
    cli.setProcessEnvironment(userEnvironment());
    cli.start(prefix("bin/vandrix-cli"), {"faults", "3", "--port", "demo", "--lang", "en"});
    ASSERT_TRUE(cli.waitForFinished(60000));
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains("Speed Sensor Front Left")) << out.toStdString();
}
} // namespace
