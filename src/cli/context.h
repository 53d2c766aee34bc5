#pragma once
// What a command runs with: its parsed invocation, the language, the
// configuration and the files of the program.
#include "config/config_values.h"
#include "config/ini_file.h"

#include <QString>
#include <QStringList>
#include <optional>

class CliOutput;

// The exit statuses of the front end; the signals add 128 + their number.
namespace Exit {
enum : int {
    Done = 0,
    Usage = 1,
    PortNotOpened = 2,
    NoInterface = 3,
    UnitSilent = 4,
    CommunicationError = 5,
};
}

// A command ends with this status and message (standard error, and the JSON
// document's "error").
struct CliFailure {
    int exitCode;
    QString message;
};

struct Invocation {
    QString command;
    QStringList arguments; // positional, after the command
    QString port;          // --port, empty when not given
    QString language;      // --lang, empty when not given
    QString iniPath;       // --ini, empty when not given
    bool json = false;
    bool quiet = false;
    bool yes = false;
    bool clear = false;
    bool all = false;
    QString car;
    std::optional<int> count;
    std::optional<double> seconds;
    QString logPath;
};

struct CliContext {
    Invocation invocation;
    int lang = 0;         // string table offset
    QString languageCode; // "de", "en"; empty as in the window without vandrix.ini
    QString programDir;   // the reference files lie here
    IniFile config;
    ConfigValues values;
    QString portName; // the window's port entry: a path or the demo entry

    QString text(int id) const;
};

// The control unit list entry of an address ("001 [01] - Motor (ECU)");
// empty when the list has no such unit.
QString UnitEntry(int address, int lang);
// An address as the user wrote it: decimal as the list entry begins, or
// hexadecimal with "0x". Only addresses of the list count.
std::optional<int> ParseAddress(const QString& text, int lang);
// Every address of the list, in list order.
QList<int> ListAddresses();

// The airbag unit, which is only ever reached past its warning.
inline constexpr int AirbagAddress = 21;
