#include "cli/arguments.h"

#include "cli/cli_texts.h"
#include "cli/output.h"
#include "config/app_paths.h"
#include "config/config_values.h"
#include "softchip/cable_detection.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

struct OptionInfo {
    QStringList names;
    int description;
    QString valueName; // empty for a switch
};

const QList<OptionInfo>& optionInfos() {
    static const QList<OptionInfo> infos = {
        {{QStringLiteral("port")}, CliText::PortOption, QStringLiteral("PATH|demo|demo-kline")},
        {{QStringLiteral("lang")}, CliText::LangOption, QStringLiteral("de|en")},
        {{QStringLiteral("ini")}, CliText::IniOption, QStringLiteral("FILE")},
        {{QStringLiteral("json")}, CliText::JsonOption, {}},
        {{QStringLiteral("quiet"), QStringLiteral("q")}, CliText::QuietOption, {}},
        {{QStringLiteral("help"), QStringLiteral("h")}, CliText::HelpOption, {}},
        {{QStringLiteral("version")}, CliText::VersionOption, {}},
        {{QStringLiteral("clear")}, CliText::ClearOption, {}},
        {{QStringLiteral("yes"), QStringLiteral("y")}, CliText::YesOption, {}},
        {{QStringLiteral("count")}, CliText::CountOption, QStringLiteral("N")},
        {{QStringLiteral("seconds")}, CliText::SecondsOption, QStringLiteral("S")},
        {{QStringLiteral("log")}, CliText::LogOption, QStringLiteral("FILE")},
        {{QStringLiteral("all")}, CliText::AllOption, {}},
        {{QStringLiteral("car")}, CliText::CarOption, QStringLiteral("NAME")},
        {{QStringLiteral("expert")}, CliText::ExpertOption, {}},
        {{QStringLiteral("set")}, WriteText::SetOption, QStringLiteral("CODING")},
        {{QStringLiteral("workshop")}, WriteText::WorkshopOption, QStringLiteral("CODE")},
        {{QStringLiteral("save")}, WriteText::SaveOption, QStringLiteral("VALUE")},
        {{QStringLiteral("airbag")}, WriteText::AirbagOption, {}},
        {{QStringLiteral("interface")},
         CableText::InterfaceOption,
         QStringLiteral("auto|chip|cable")},
    };
    return infos;
}

const QStringList CommonOptions = {QStringLiteral("port"),    QStringLiteral("lang"),
                                   QStringLiteral("ini"),     QStringLiteral("json"),
                                   QStringLiteral("quiet"),   QStringLiteral("help"),
                                   QStringLiteral("version"), QStringLiteral("interface")};

const OptionInfo* findOption(const QString& name) {
    for (const OptionInfo& info : optionInfos())
        if (info.names.contains(name))
            return &info;
    return nullptr;
}

QString optionLabel(const OptionInfo& info) {
    QString label;
    for (const QString& n : info.names)
        label += (label.isEmpty() ? QString() : QStringLiteral(", ")) +
                 (n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n;
    if (!info.valueName.isEmpty())
        label += QLatin1Char(' ') + info.valueName;
    return label;
}

constexpr qsizetype HelpWidth = 79;

// text broken into lines of HelpWidth, every line after the first indented.
QString wrapped(const QString& text, qsizetype indent, qsizetype used) {
    QString out;
    bool first = true;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!first && used + 1 + word.size() > HelpWidth) {
            out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            used = indent;
            first = true;
        }
        out += (first ? QString() : QStringLiteral(" ")) + word;
        used += (first ? 0 : 1) + word.size();
        first = false;
    }
    return out + QLatin1Char('\n');
}

// Two columns, the second wrapped under itself.
QString columns(const QList<QPair<QString, QString>>& rows) {
    qsizetype left = 0;
    for (const auto& [name, text] : rows)
        left = std::max(left, name.size());
    const qsizetype indent = 2 + left + 2;
    QString out;
    for (const auto& [name, text] : rows)
        out += QStringLiteral("  ") + name.leftJustified(left) + QStringLiteral("  ") +
               wrapped(text, indent, indent);
    return out;
}

QString optionColumns(const QStringList& names, int lang) {
    QList<QPair<QString, QString>> rows;
    for (const QString& name : names)
        if (const OptionInfo* info = findOption(name))
            rows << qMakePair(optionLabel(*info), LoadStr(info->description + lang));
    return columns(rows);
}

QString exitColumns(int lang) {
    const QList<QPair<int, int>> statuses = {
        {Exit::Done, CliText::ExitDone},
        {Exit::Usage, CliText::ExitDone + 1},
        {Exit::PortNotOpened, CliText::ExitDone + 2},
        {Exit::NoInterface, CliText::ExitDone + 3},
        {Exit::UnitSilent, CliText::ExitDone + 4},
        {Exit::CommunicationError, CliText::ExitDone + 5},
        {Exit::Refused, OutcomeText::ExitRefused},
        {Exit::OutcomeUnknown, OutcomeText::ExitOutcomeUnknown},
        {Exit::Interrupted, CliText::ExitSignals},
    };
    QList<QPair<QString, QString>> rows;
    for (const auto& [status, text] : statuses)
        rows << qMakePair(QString::number(status), LoadStr(text + lang));
    return columns(rows);
}

// Sections are set apart by an empty line.
QString section(const QString& title, const QString& body) {
    return QLatin1Char('\n') + title + QLatin1Char('\n') + body;
}

QString commonPart(int lang) {
    return section(LoadStr(CliText::CommonOptions + lang), optionColumns(CommonOptions, lang)) +
           section(LoadStr(CliText::ExitStatus + lang), exitColumns(lang));
}

const CommandInfo* findCommand(const QString& name) {
    for (const CommandInfo& info : CommandInfos())
        if (info.name == name)
            return &info;
    return nullptr;
}

QString languageOf(const QStringList& args) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--lang" && i + 1 < args.size())
            return args[i + 1];
        if (args[i].startsWith(QLatin1String("--lang=")))
            return args[i].mid(7);
    }
    return QString();
}

QString iniOf(const QStringList& args) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--ini" && i + 1 < args.size())
            return args[i + 1];
        if (args[i].startsWith(QLatin1String("--ini=")))
            return args[i].mid(6);
    }
    return QString();
}

int offsetOf(const QString& language) {
    return language == u"en" ? EnglishStringOffset : 0;
}

} // namespace

const QList<CommandInfo>& CommandInfos() {
    using namespace CliText;
    const auto addr = qMakePair(QStringLiteral("ADDR"), int(AddressArgument));
    static const QList<CommandInfo> infos = {
        {QStringLiteral("ports"), PortsCommand, {}, {}, {}},
        {QStringLiteral("check"), CheckCommand, {}, {}, {}},
        {QStringLiteral("ident"),
         IdentCommand,
         QStringLiteral("ADDR"),
         {QStringLiteral("yes")},
         {addr}},
        {QStringLiteral("faults"),
         FaultsCommand,
         QStringLiteral("ADDR [--clear [--yes]]"),
         {QStringLiteral("clear"), QStringLiteral("yes")},
         {addr}},
        {QStringLiteral("groups"),
         GroupsCommand,
         QStringLiteral("ADDR G [G...] [--count N | --seconds S] [--log FILE]"),
         {QStringLiteral("count"), QStringLiteral("seconds"), QStringLiteral("log"),
          QStringLiteral("yes")},
         {addr, qMakePair(QStringLiteral("G"), int(GroupArgument))}},
        {QStringLiteral("monitor"),
         MonitorCommand,
         QStringLiteral("ADDR G [G...] [--log FILE]"),
         {QStringLiteral("count"), QStringLiteral("seconds"), QStringLiteral("log"),
          QStringLiteral("yes")},
         {addr, qMakePair(QStringLiteral("G"), int(GroupArgument))}},
        {QStringLiteral("raw"),
         RawCommand,
         QStringLiteral("ADDR [--count N | --seconds S]"),
         {QStringLiteral("count"), QStringLiteral("seconds"), QStringLiteral("yes")},
         {addr}},
        {QStringLiteral("single"),
         SingleCommand,
         QStringLiteral("ADDR CHANNEL [--count N | --seconds S]"),
         {QStringLiteral("count"), QStringLiteral("seconds"), QStringLiteral("yes")},
         {addr, qMakePair(QStringLiteral("CHANNEL"), int(ChannelArgument))}},
        {QStringLiteral("basic"),
         BasicCommand,
         QStringLiteral("ADDR G [--count N | --seconds S]"),
         {QStringLiteral("count"), QStringLiteral("seconds"), QStringLiteral("yes")},
         {addr, qMakePair(QStringLiteral("G"), int(BasicGroupArgument))}},
        {QStringLiteral("readiness"),
         ReadinessCommand,
         QStringLiteral("ADDR"),
         {QStringLiteral("yes")},
         {addr}},
        {QStringLiteral("voltages"), VoltagesCommand, {}, {}, {}},
        {QStringLiteral("request"),
         RequestCommand,
         QStringLiteral("ADDR HEX [HEX...] [--yes] [--expert]"),
         {QStringLiteral("yes"), QStringLiteral("expert")},
         {addr, qMakePair(QStringLiteral("HEX"), int(HexArgument))}},
        {QStringLiteral("scan"),
         ScanCommand,
         QStringLiteral("[ADDR...] [--all] [--car NAME] [--yes]"),
         {QStringLiteral("all"), QStringLiteral("car"), QStringLiteral("yes")},
         {qMakePair(QStringLiteral("ADDR..."), int(AddressesArgument))}},
        {QStringLiteral("coding"),
         WriteText::CodingCommand,
         QStringLiteral("ADDR [--set CODING --workshop CODE [--yes]]"),
         {QStringLiteral("set"), QStringLiteral("workshop"), QStringLiteral("yes")},
         {addr}},
        {QStringLiteral("adaptation"),
         WriteText::AdaptationCommand,
         QStringLiteral("ADDR CHANNEL [--save VALUE [--yes]]"),
         {QStringLiteral("save"), QStringLiteral("yes")},
         {addr, qMakePair(QStringLiteral("CHANNEL"), int(WriteText::ChannelArgument))}},
        {QStringLiteral("login"),
         WriteText::LoginCommand,
         QStringLiteral("ADDR CODE [--yes]"),
         {QStringLiteral("yes")},
         {addr, qMakePair(QStringLiteral("CODE"), int(WriteText::CodeArgument))}},
        {QStringLiteral("output-tests"),
         WriteText::OutputTestsCommand,
         QStringLiteral("ADDR [--airbag] [--yes]"),
         {QStringLiteral("airbag"), QStringLiteral("yes")},
         {addr}},
        {QStringLiteral("journal"),
         WriteText::JournalCommand,
         QStringLiteral("[ADDR]"),
         {},
         {qMakePair(QStringLiteral("ADDR"), int(WriteText::UnitArgument))}},
        {QStringLiteral("undo"),
         WriteText::UndoCommand,
         QStringLiteral("ADDR [--yes]"),
         {QStringLiteral("yes")},
         {addr}},
        {QStringLiteral("diff"),
         DiffCommand,
         QStringLiteral("OLD NEW"),
         {},
         {qMakePair(QStringLiteral("OLD"), int(OlderReportArgument)),
          qMakePair(QStringLiteral("NEW"), int(NewerReportArgument))}},
    };
    return infos;
}

QString OverviewHelp(int lang) {
    QList<QPair<QString, QString>> commands;
    for (const CommandInfo& info : CommandInfos())
        commands << qMakePair(info.name, LoadStr(info.description + lang));
    return LoadStr(CliText::Usage + lang).arg(LoadStr(CliText::CommandWord + lang)) +
           QLatin1Char('\n') + wrapped(LoadStr(CliText::Description + lang), 0, 0) +
           section(LoadStr(CliText::Commands + lang), columns(commands)) + commonPart(lang) +
           QLatin1Char('\n') + LoadStr(CliText::CommandHelpHint + lang) + QLatin1Char('\n');
}

QString CommandHelp(const CommandInfo& info, int lang) {
    const QString synopsis = info.synopsis.isEmpty() ? info.name : info.name + u' ' + info.synopsis;
    QString help = LoadStr(CliText::Usage + lang).arg(synopsis) + QLatin1Char('\n') +
                   wrapped(LoadStr(info.description + lang), 0, 0);
    if (!info.arguments.isEmpty()) {
        QList<QPair<QString, QString>> rows;
        for (const auto& [name, id] : info.arguments)
            rows << qMakePair(name, LoadStr(id + lang));
        help += section(LoadStr(CliText::Arguments + lang), columns(rows));
    }
    if (!info.options.isEmpty())
        help += section(LoadStr(CliText::CommandOptions + lang), optionColumns(info.options, lang));
    return help + commonPart(lang);
}

int EarlyLanguage(const QStringList& args, const QString& programDir) {
    const QString given = languageOf(args);
    if (given == u"de" || given == u"en")
        return offsetOf(given);
    QString ini = iniOf(args);
    if (ini.isEmpty())
        ini = AppPaths::ForProgram(programDir).prepareConfigFile();
    return ReadConfigValues(IniFile::open(ini, ConfigFileLimits)).English ? EnglishStringOffset : 0;
}

std::optional<int> ParseInvocation(const QStringList& args, const QString& programDir,
                                   Invocation& inv, CliOutput& out) {
    const int lang = EarlyLanguage(args, programDir);
    // Once the command is known, the hint names its own help.
    QString command;
    const auto usageError = [&](const QString& message) {
        out.error(QStringLiteral("vandrix-cli: ") + message);
        out.error(command.isEmpty() ? LoadStr(CliText::CommandHelpHint + lang)
                                    : LoadStr(CliText::ThisCommandHelpHint + lang).arg(command));
        return std::optional<int>(Exit::Usage);
    };

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionInfo& info : optionInfos())
        parser.addOption(QCommandLineOption(info.names, QString(), info.valueName));
    if (!parser.parse(args)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return usageError(LoadStr(CliText::UnknownOption + lang)
                                  .arg((unknown.first().size() == 1 ? QStringLiteral("-")
                                                                    : QStringLiteral("--")) +
                                       unknown.first()));
        return usageError(LoadStr(CliText::BadArgument + lang).arg(parser.errorText()));
    }

    const QStringList positional = parser.positionalArguments();
    const bool help = parser.isSet(QStringLiteral("help"));
    if (parser.isSet(QStringLiteral("version"))) {
        out.line(QStringLiteral("vandrix-cli ") + LoadStr(0));
        return Exit::Done;
    }
    if (positional.isEmpty()) {
        if (help) {
            out.line(OverviewHelp(lang).chopped(1));
            return Exit::Done;
        }
        return usageError(LoadStr(CliText::NoCommand + lang));
    }
    const CommandInfo* info = findCommand(positional.first());
    if (!info)
        return usageError(LoadStr(CliText::UnknownCommand + lang).arg(positional.first()));
    command = info->name;
    if (help) {
        out.line(CommandHelp(*info, lang).chopped(1));
        return Exit::Done;
    }
    for (const QString& name : parser.optionNames()) {
        const OptionInfo* option = findOption(name);
        const QString canonical = option ? option->names.first() : name;
        if (!CommonOptions.contains(canonical) && !info->options.contains(canonical))
            return usageError(LoadStr(CliText::OptionNotForCommand + lang)
                                  .arg(QStringLiteral("--") + canonical, info->name));
    }

    inv = Invocation{};
    inv.command = info->name;
    inv.arguments = positional.mid(1);
    inv.port = parser.value(QStringLiteral("port"));
    inv.interfaceKind = parser.value(QStringLiteral("interface"));
    inv.language = parser.value(QStringLiteral("lang"));
    inv.iniPath = parser.value(QStringLiteral("ini"));
    inv.json = parser.isSet(QStringLiteral("json"));
    inv.quiet = parser.isSet(QStringLiteral("quiet"));
    inv.yes = parser.isSet(QStringLiteral("yes"));
    inv.clear = parser.isSet(QStringLiteral("clear"));
    inv.all = parser.isSet(QStringLiteral("all"));
    inv.expert = parser.isSet(QStringLiteral("expert"));
    inv.car = parser.value(QStringLiteral("car"));
    inv.logPath = parser.value(QStringLiteral("log"));
    inv.setCoding = parser.value(QStringLiteral("set"));
    inv.workshop = parser.value(QStringLiteral("workshop"));
    inv.saveValue = parser.value(QStringLiteral("save"));
    inv.airbag = parser.isSet(QStringLiteral("airbag"));

    if (parser.isSet(QStringLiteral("lang")) && inv.language != u"de" && inv.language != u"en")
        return usageError(LoadStr(CliText::InvalidLanguage + lang).arg(inv.language));
    if (parser.isSet(QStringLiteral("interface")) && !interfaceKindFromOption(inv.interfaceKind))
        return usageError(LoadStr(CableText::InvalidInterface + lang).arg(inv.interfaceKind));
    if (parser.isSet(QStringLiteral("count"))) {
        bool ok = false;
        const int n = parser.value(QStringLiteral("count")).toInt(&ok);
        if (!ok || n < 1)
            return usageError(LoadStr(CliText::InvalidNumber + lang)
                                  .arg(QStringLiteral("--count"), parser.value("count")));
        inv.count = n;
    }
    if (parser.isSet(QStringLiteral("seconds"))) {
        bool ok = false;
        const double s = parser.value(QStringLiteral("seconds")).toDouble(&ok);
        if (!ok || !(s > 0) || s > 1e7)
            return usageError(LoadStr(CliText::InvalidNumber + lang)
                                  .arg(QStringLiteral("--seconds"), parser.value("seconds")));
        inv.seconds = s;
    }
    if (inv.count && inv.seconds)
        return usageError(LoadStr(CliText::CountOrSeconds + lang));
    // A folder, an endless device or a file far too large is no configuration.
    if (parser.isSet(QStringLiteral("ini"))) {
        const FileRefusal refusal = IniFile::open(inv.iniPath, ConfigFileLimits).refusal();
        if (refusal)
            return usageError(LoadStr(CliText::IniUnreadable + lang).arg(refusal.text(lang)));
    }

    // Positional arguments: their number here, their meaning in the command.
    const qsizetype given = inv.arguments.size();
    qsizetype least = 0;
    qsizetype most = 0;
    if (info->name == u"ident" || info->name == u"faults" || info->name == u"readiness" ||
        info->name == u"raw" || info->name == u"coding" || info->name == u"output-tests" ||
        info->name == u"undo")
        least = most = 1;
    else if (info->name == u"adaptation" || info->name == u"login")
        least = most = 2;
    else if (info->name == u"journal")
        most = 1;
    else if (info->name == u"groups" || info->name == u"monitor")
        least = 2, most = 5;
    else if (info->name == u"single" || info->name == u"basic")
        least = most = 2;
    else if (info->name == u"request")
        least = 2, most = given;
    else if (info->name == u"diff")
        least = most = 2;
    else if (info->name == u"scan")
        most = given;
    if (given < least)
        return usageError(LoadStr(CliText::Missing + lang).arg(info->arguments.value(given).first));
    if ((info->name == u"groups" || info->name == u"monitor") && given > most)
        return usageError(LoadStr(CliText::TooManyGroups + lang));
    if (given > most)
        return usageError(
            LoadStr(CliText::TooManyArguments + lang).arg(inv.arguments.mid(most).join(u' ')));
    return std::nullopt;
}
