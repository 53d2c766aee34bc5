// What the Debian package carries beside the programs: the manual pages stay
// true to each program's --help, the changelog and pages name the version
// built, and lintian finds no error in the package last made in this build
// folder (./vandrix.sh package).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

QString sourceFile(const QString& path) {
    return QDir(qEnvironmentVariable("VANDRIX_SOURCE_DIR")).filePath(path);
}

// The page's text with roff's escaped hyphens as plain ones. vandrix-cli's
// is made from its help in the build.
QString manPage(const QString& program) {
    QFile f(program == u"vandrix-cli"
                ? QDir(qEnvironmentVariable("VANDRIX_BUILD_DIR")).filePath("dist/vandrix-cli.1")
                : sourceFile(QStringLiteral("dist/man/") + program + QStringLiteral(".1")));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll()).replace(QStringLiteral("\\-"), QStringLiteral("-"));
}

QString help(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(QDir(qEnvironmentVariable("VANDRIX_BIN")).filePath(program), args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Every option the text names: --word, or a dash and a letter standing alone.
QSet<QString> optionsIn(const QString& text) {
    static const QRegularExpression option(
        QStringLiteral("(?<![\\w-])(--?[a-z][a-z0-9-]*)(?![\\w-])"));
    QSet<QString> found;
    for (auto it = option.globalMatch(text); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (name.startsWith(QStringLiteral("--")) || name.size() == 2)
            found.insert(name);
    }
    return found;
}

bool names(const QString& page, const QString& word) {
    return page.contains(QRegularExpression(QStringLiteral("(?<![\\w-])") +
                                            QRegularExpression::escape(word) +
                                            QStringLiteral("(?![\\w-])")));
}

// The commands of vandrix-cli's help: the indented words of its "Commands:".
QStringList commandsIn(const QString& text) {
    QStringList commands;
    const QString section =
        text.section(QStringLiteral("Commands:\n"), 1).section(QStringLiteral("\n\n"), 0, 0);
    static const QRegularExpression command(QStringLiteral("^  ([a-z]+)  "),
                                            QRegularExpression::MultilineOption);
    for (auto it = command.globalMatch(section); it.hasNext();)
        commands << it.next().captured(1);
    return commands;
}

TEST(ManPages, NameEveryCommandAndOptionEachProgramsHelpLists) {
    const QString cliPage = manPage(QStringLiteral("vandrix-cli"));
    ASSERT_FALSE(cliPage.isEmpty());
    const QString cliHelp = help(QStringLiteral("vandrix-cli"), {"--help", "--lang", "en"});
    const QStringList commands = commandsIn(cliHelp);
    ASSERT_GE(commands.size(), 9) << cliHelp.toStdString();
    QSet<QString> options = optionsIn(cliHelp);
    for (const QString& command : commands) {
        EXPECT_TRUE(cliPage.contains(
            QRegularExpression(QStringLiteral("^\\.B[IR]? ") + command + QStringLiteral("\\b"),
                               QRegularExpression::MultilineOption)))
            << "vandrix-cli.1 lacks the command " << command.toStdString();
        const QString commandHelp =
            help(QStringLiteral("vandrix-cli"), {command, "--help", "--lang", "en"});
        EXPECT_FALSE(commandHelp.isEmpty()) << command.toStdString();
        options.unite(optionsIn(commandHelp));
    }
    EXPECT_TRUE(options.contains(QStringLiteral("--yes")) &&
                options.contains(QStringLiteral("-q")));
    for (const QString& option : options)
        EXPECT_TRUE(names(cliPage, option)) << "vandrix-cli.1 lacks " << option.toStdString();

    const QString simPage = manPage(QStringLiteral("vandrix-sim"));
    const QString simHelp = help(QStringLiteral("vandrix-sim"), {"--help"});
    const QSet<QString> simOptions = optionsIn(simHelp);
    EXPECT_GE(simOptions.size(), 10) << simHelp.toStdString();
    for (const QString& option : simOptions)
        EXPECT_TRUE(names(simPage, option)) << "vandrix-sim.1 lacks " << option.toStdString();
    // Its fault kinds too: a test's or a user's first reading.
    static const QRegularExpression kind(QStringLiteral("^  ([a-z]+)  "),
                                         QRegularExpression::MultilineOption);
    const QString kinds = simHelp.section(QStringLiteral("KIND is one of:"), 1);
    for (auto it = kind.globalMatch(kinds); it.hasNext();) {
        const QString name = it.next().captured(1);
        EXPECT_TRUE(simPage.contains(QStringLiteral(".B ") + name + QLatin1Char('\n')))
            << "vandrix-sim.1 lacks the fault " << name.toStdString();
    }

    // The window has no options of its own; its page is there and says so.
    EXPECT_TRUE(
        manPage(QStringLiteral("vandrix")).contains(QStringLiteral("no options of its own")));
}

// "1.41-1" of the changelog's top line "vandrix (1.41-1) unstable; ...".
QString changelogVersion() {
    QFile changelog(sourceFile(QStringLiteral("dist/changelog")));
    if (!changelog.open(QIODevice::ReadOnly))
        return QString();
    static const QRegularExpression top(QStringLiteral("^vandrix \\(([^)]+)\\) "));
    return top.match(QString::fromUtf8(changelog.readLine())).captured(1);
}

TEST(ManPages, PagesAndChangelogNameTheVersionBuilt) {
    const QString version = qEnvironmentVariable("VANDRIX_VERSION");
    ASSERT_FALSE(version.isEmpty());
    for (const char* program : {"vandrix", "vandrix-cli", "vandrix-sim"})
        EXPECT_TRUE(manPage(QString::fromLatin1(program))
                        .contains(QStringLiteral("\"Vandrix ") + version + QLatin1Char('"')))
            << program;
    EXPECT_TRUE(changelogVersion().startsWith(version + QLatin1Char('-')))
        << changelogVersion().toStdString();
}

TEST(Package, LintianFindsNoError) {
    const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
    if (lintian.isEmpty())
        GTEST_SKIP() << "lintian is not installed";
    const QDir build(qEnvironmentVariable("VANDRIX_BUILD_DIR"));
    const QStringList debs =
        build.entryList({QStringLiteral("vandrix_*.deb")}, QDir::Files, QDir::Time);
    if (debs.isEmpty())
        GTEST_SKIP() << "no package in " << build.path().toStdString()
                     << ": ./vandrix.sh package makes one";
    // The package's version is the changelog's newest entry.
    EXPECT_TRUE(
        debs.first().startsWith(QStringLiteral("vandrix_") + changelogVersion() + QLatin1Char('_')))
        << debs.first().toStdString() << " against the changelog's "
        << changelogVersion().toStdString();
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(lintian,
            {QStringLiteral("--fail-on"), QStringLiteral("error"), build.filePath(debs.first())});
    ASSERT_TRUE(p.waitForFinished(240000));
    const QString out = QString::fromUtf8(p.readAll());
    EXPECT_EQ(p.exitCode(), 0) << debs.first().toStdString() << ":\n" << out.toStdString();
    EXPECT_FALSE(out.contains(
        QRegularExpression(QStringLiteral("^E: "), QRegularExpression::MultilineOption)))
        << out.toStdString();
}

} // namespace
