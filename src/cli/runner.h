#pragma once
// From the command line to an exit status: parsing, the context, the
// command, and what is printed when it fails or is stopped.
#include <QString>
#include <QStringList>

class CliOutput;

// args with the program's name first; programDir holds vandrix.ini and the
// reference files.
int RunCli(const QStringList& args, const QString& programDir, CliOutput& out);
