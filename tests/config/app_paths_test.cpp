#include "config/app_paths.h"
#include "support/qt_printers.h"
#include "support/scoped_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An installed tree (<root>/prefix) and a user's XDG homes (<root>/config,
// <root>/data).
class InstalledTree : public ::testing::Test {
protected:
    InstalledTree()
        : configHome("XDG_CONFIG_HOME", root.filePath("config")),
          dataHome("XDG_DATA_HOME", root.filePath("data")) {
        QDir().mkpath(bin());
        writeFile(shipped("vandrix.ini"), "[Config]\nSprache=en\n");
        writeFile(shipped("dtc_list_en.ini"), "[DTC]\n1=shipped\n");
        writeFile(shipped("autoscan.ini"), "[Carlist]\n");
    }
    QString bin() const { return root.filePath("prefix/bin"); }
    QString shipped(const QString& name) const {
        return root.filePath("prefix/share/vandrix/" + name);
    }
    QString userConfig() const { return root.filePath("config/vandrix/vandrix.ini"); }
    QString userData(const QString& name) const { return root.filePath("data/vandrix/" + name); }

    QTemporaryDir root;
    ScopedEnv configHome, dataHome;
};

TEST(AppPaths, FromAFolderWithoutInstalledDataEverythingLiesBesideTheProgram) {
    QTemporaryDir dir;
    const AppPaths paths = AppPaths::ForProgram(dir.path());
    EXPECT_FALSE(paths.installed());
    EXPECT_EQ(paths.configFile(), dir.filePath("vandrix.ini"));
    EXPECT_EQ(paths.dataDirs(), QStringList{dir.path()});
    EXPECT_EQ(paths.userDataDir(), dir.path());
    EXPECT_FALSE(paths.configWritable());
    EXPECT_TRUE(paths.documentsDir().isEmpty());
    // Nothing is made: without the file the program runs on its defaults.
    EXPECT_EQ(paths.prepareConfigFile(), dir.filePath("vandrix.ini"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("vandrix.ini")));
    EXPECT_TRUE(paths.findDataFile("autoscan.ini").isEmpty());
    writeFile(dir.filePath("autoscan.ini"), "");
    EXPECT_EQ(paths.findDataFile("autoscan.ini"), dir.filePath("autoscan.ini"));
    // A folder is no data file.
    QDir(dir.path()).mkdir("dtc_list_de.ini");
    EXPECT_TRUE(paths.findDataFile("dtc_list_de.ini").isEmpty());
}

TEST_F(InstalledTree, UserFoldersComeFromXdgAndTheDataFromShare) {
    const AppPaths paths = AppPaths::ForProgram(bin());
    ASSERT_TRUE(paths.installed());
    EXPECT_EQ(paths.configFile(), userConfig());
    EXPECT_EQ(paths.shippedConfigFile(), shipped("vandrix.ini"));
    EXPECT_EQ(paths.userDataDir(), root.filePath("data/vandrix"));
    EXPECT_EQ(paths.dataDirs(),
              (QStringList{root.filePath("data/vandrix"), root.filePath("prefix/share/vandrix")}));
    EXPECT_TRUE(paths.configWritable());

    EXPECT_EQ(paths.findDataFile("dtc_list_en.ini"), shipped("dtc_list_en.ini"));
    writeFile(userData("dtc_list_en.ini"), "[DTC]\n1=own\n");
    EXPECT_EQ(paths.findDataFile("dtc_list_en.ini"), userData("dtc_list_en.ini"));
    EXPECT_EQ(paths.findDataFile("autoscan.ini"), shipped("autoscan.ini"));

    // A save dialog starts in the user's documents, or at home without them.
    const ScopedEnv home("HOME", root.filePath("home"));
    QDir().mkpath(root.filePath("home"));
    EXPECT_EQ(paths.documentsDir(), root.filePath("home"));
    QDir().mkpath(root.filePath("home/Documents"));
    EXPECT_EQ(paths.documentsDir(), root.filePath("home/Documents"));

    // Files the program makes for the user get their folder on demand.
    const QString recording = paths.userFile("recordings/session.txt");
    EXPECT_EQ(recording, userData("recordings/session.txt"));
    EXPECT_TRUE(QFileInfo(userData("recordings")).isDir());
}

TEST_F(InstalledTree, FirstStartMakesTheUsersConfigurationFromTheShippedOne) {
    QFile::setPermissions(shipped("vandrix.ini"), QFile::ReadOwner | QFile::ReadOther);
    const AppPaths paths = AppPaths::ForProgram(bin());
    EXPECT_FALSE(QFileInfo::exists(userConfig()));
    EXPECT_EQ(paths.prepareConfigFile(), userConfig());
    EXPECT_EQ(readFile(userConfig()), "[Config]\nSprache=en\n");
    // The copy is the user's to change, though the installed file is read-only.
    EXPECT_TRUE(QFileInfo(userConfig()).permissions() & QFile::WriteOwner);

    // Later starts keep what the user made of it.
    writeFile(userConfig(), "[Config]\nSprache=de\n");
    EXPECT_EQ(paths.prepareConfigFile(), userConfig());
    EXPECT_EQ(readFile(userConfig()), "[Config]\nSprache=de\n");
}

TEST_F(InstalledTree, AConfigFolderThatCannotBeMadeFallsBackToTheShippedDefaults) {
    writeFile(root.filePath("config"), "a file where the folder should be");
    const AppPaths paths = AppPaths::ForProgram(bin());
    EXPECT_EQ(paths.prepareConfigFile(), shipped("vandrix.ini"));

    QFile::remove(shipped("vandrix.ini"));
    EXPECT_TRUE(paths.prepareConfigFile().isEmpty());
}
} // namespace
