#pragma once
// What a command runs with: its parsed invocation, the language, the
// configuration and the files of the program.
#include "config/app_paths.h"
#include "config/config_values.h"
#include "config/ini_file.h"

#include <QString>
#include <QStringList>
#include <optional>

class CliOutput;

// Every exit status of the front end, as the README and --help list them.
namespace Exit {
enum Status : int {
    Done = 0,
    Usage = 1, // also a confirmation not given, a value out of range refused before sending
    PortNotOpened = 2,
    NoInterface = 3,
    UnitSilent = 4,
    CommunicationError = 5,
    Refused = 6,        // the unit refused: a fault read or clear, a login, a coding, an adaptation
    OutcomeUnknown = 7, // the link dropped after a write was sent
    // 128 + the signal's number.
    Interrupted = 130,
    ReaderGone = 141,
    Terminated = 143,
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
    QString interfaceKind; // --interface, empty when not given
    QString language;      // --lang, empty when not given
    QString iniPath;       // --ini, empty when not given
    bool json = false;
    bool quiet = false;
    bool yes = false;
    bool clear = false;
    bool all = false;
    bool expert = false;
    QString car;
    std::optional<int> count;
    std::optional<double> seconds;
    QString logPath;
    QString setCoding; // --set, empty when not given
    QString workshop;  // --workshop
    QString saveValue; // --save
    bool airbag = false;
};

struct CliContext {
    Invocation invocation;
    int lang = 0;         // string table offset
    QString languageCode; // "de", "en"; empty as in the window without vandrix.ini
    AppPaths paths;       // where the configuration and the reference files are
    IniFile config;
    ConfigValues values;
    QString portName; // the window's port entry: a path or the demo entry

    QString text(int id) const;
};

// The control unit list entry of an address ("001 [01] - Motor (ECU)");
// empty when the list has no such unit.
QString UnitEntry(int address, int lang);
// An address as the user wrote it: hexadecimal as in the list's brackets
// (17, 0x17), or "#" and the decimal number the list entry begins with (#23).
// Only addresses of the list count.
std::optional<int> ParseAddress(const QString& text, int lang);
// Every address of the list, in list order.
QList<int> ListAddresses();

// The airbag unit, which is only ever reached past its warning.
inline constexpr int AirbagAddress = 21;
