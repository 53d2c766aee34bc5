#pragma once
// The command line: commands, their arguments and options, the help texts.
#include "cli/context.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class CliOutput;

struct CommandInfo {
    QString name;
    int description;                      // string table id
    QString synopsis;                     // what follows the command name in its usage line
    QStringList options;                  // the command's own options, beyond the common ones
    QList<QPair<QString, int>> arguments; // name and string table id
};

// In the order of the overview.
const QList<CommandInfo>& CommandInfos();

// Parses args (the program's name first). Returns an exit status when the
// run ends here: help or version shown (0), or a usage error reported (1).
// Otherwise fills invocation and returns nothing.
std::optional<int> ParseInvocation(const QStringList& args, const QString& programDir,
                                   Invocation& invocation, CliOutput& out);

// The language a run speaks before its configuration is read: --lang when
// given and valid, else "Sprache" of the configuration file the command line
// names or of vandrix.ini in programDir; German otherwise.
int EarlyLanguage(const QStringList& args, const QString& programDir);

QString OverviewHelp(int lang);
QString CommandHelp(const CommandInfo& info, int lang);
