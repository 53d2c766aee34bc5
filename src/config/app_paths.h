#pragma once
// Where the program's files are: the one place that knows.
//
// Run from its build folder (or any folder without an installed data tree),
// everything lies beside the program as it always has: vandrix.ini, the data,
// debug.txt.
//
// Installed (<prefix>/bin with <prefix>/share/vandrix), the shipped data is
// read from share/vandrix and everything that belongs to the user lives in
// the user's XDG folders: the configuration in $XDG_CONFIG_HOME/vandrix
// (made from the shipped defaults at first start), the user's own data
// (label files first of all, found before the shipped ones) and every file
// the program creates in $XDG_DATA_HOME/vandrix.
//
// QT_LOGGING_RULES="vandrix.files.debug=true" shows which file came from where.
#include <QLoggingCategory>
#include <QString>
#include <QStringList>

Q_DECLARE_LOGGING_CATEGORY(lcFiles)

class AppPaths {
public:
    enum class Layout { BesideProgram, Installed };

    // An empty AppPaths: no configuration, no data, nowhere to write.
    AppPaths() = default;
    // The layout of a program whose file lies in programDir.
    static AppPaths ForProgram(const QString& programDir);
    // The layout of the running program (found through /proc/self/exe, so it
    // works before a QCoreApplication exists).
    static AppPaths ForRunningProgram();
    // The folder of the running program's file.
    static QString RunningProgramDir();

    Layout layout() const { return m_layout; }
    bool installed() const { return m_layout == Layout::Installed; }
    QString programDir() const { return m_programDir; }

    // The configuration file the program reads.
    QString configFile() const { return m_configFile; }
    // The defaults an installed program's configuration is made from.
    QString shippedConfigFile() const { return m_shippedConfig; }
    // The configuration to read at start-up: installed, the user's, made from
    // the shipped defaults at first start (the shipped file itself when the
    // user's cannot be written). Empty when there is none at all.
    QString prepareConfigFile() const;
    // Whether the program may record settings in its configuration: only the
    // user's own copy is written, never a file beside the program.
    bool configWritable() const { return installed(); }

    // Folders searched for data (label files, fault texts, car list,
    // scenarios), the user's own first.
    QStringList dataDirs() const { return m_dataDirs; }
    // The first dataDirs()/relativePath that is a file; empty when none is.
    QString findDataFile(const QString& relativePath) const;

    // Where the program writes what it creates for the user (debug trace,
    // recordings, journal, saved scans). Not created here.
    QString userDataDir() const { return m_userDataDir; }
    // userDataDir()/relativePath with its folder created; empty when the
    // folder cannot be made.
    QString userFile(const QString& relativePath) const;
    // Where a save dialog starts: installed, the user's documents folder (or
    // home when there is none); beside the program empty, the dialog's own
    // choice as before.
    QString documentsDir() const;

    // Paths for a test or a tool that lays out its own folders.
    static AppPaths Custom(Layout layout, const QString& configFile, const QString& shippedConfig,
                           const QStringList& dataDirs, const QString& userDataDir);

    static inline const QString ConfigFileName = QStringLiteral("vandrix.ini");
    // The folder name under share/ and under the XDG homes.
    static inline const QString FolderName = QStringLiteral("vandrix");

private:
    Layout m_layout = Layout::BesideProgram;
    QString m_programDir;
    QString m_configFile;
    QString m_shippedConfig;
    QStringList m_dataDirs;
    QString m_userDataDir;
};
