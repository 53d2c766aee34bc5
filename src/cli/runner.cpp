#include "cli/runner.h"

#include "cli/arguments.h"
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/output.h"
#include "cli/shapes.h"
#include "config/app_locale.h"
#include "link/port_list.h"
#include "reports/link_texts.h"

#include <QDir>
#include <QFileInfo>

namespace {

CommandFunction commandFunction(const QString& name) {
    static const QList<QPair<QString, CommandFunction>> table = {
        {QStringLiteral("ports"), RunPorts},       {QStringLiteral("check"), RunCheck},
        {QStringLiteral("ident"), RunIdent},       {QStringLiteral("faults"), RunFaults},
        {QStringLiteral("groups"), RunGroups},     {QStringLiteral("readiness"), RunReadiness},
        {QStringLiteral("voltages"), RunVoltages}, {QStringLiteral("scan"), RunScan},
        {QStringLiteral("diff"), RunDiff},         {QStringLiteral("raw"), RunRaw},
        {QStringLiteral("single"), RunSingle},     {QStringLiteral("basic"), RunBasic},
        {QStringLiteral("request"), RunRequest},   {QStringLiteral("monitor"), RunMonitor},
        {QStringLiteral("coding"), RunCoding},     {QStringLiteral("adaptation"), RunAdaptation},
        {QStringLiteral("login"), RunLogin},       {QStringLiteral("output-tests"), RunOutputTests},
        {QStringLiteral("journal"), RunJournal},   {QStringLiteral("undo"), RunUndo},
    };
    for (const auto& [n, f] : table)
        if (n == name)
            return f;
    return nullptr;
}

CliContext makeContext(const Invocation& inv, const QString& programDir) {
    CliContext c;
    c.invocation = inv;
    c.paths = AppPaths::ForProgram(programDir);
    const QString iniPath = inv.iniPath.isEmpty() ? c.paths.prepareConfigFile() : inv.iniPath;
    if (QFileInfo(iniPath).isFile())
        c.config = IniFile::open(iniPath, ConfigFileLimits);
    c.values = ReadConfigValues(c.config);
    // As the window: without a configuration file there is no language code,
    // so no label or fault text file is found.
    const bool english = inv.language.isEmpty() ? c.values.English : inv.language == u"en";
    c.lang = english ? EnglishStringOffset : 0;
    if (!inv.language.isEmpty())
        c.languageCode = inv.language;
    else if (c.config.isOpen())
        c.languageCode = english ? QStringLiteral("en") : QStringLiteral("de");
    // JSON numbers always carry ".", whatever the user's regional settings.
    if (inv.json)
        AppLocale::set(QLocale::c());
    return c;
}

// The window's port entry for the command line's choice. Never guessed: no
// --port and no configured port is a usage error that lists the ports.
QString portEntry(const CliContext& c) {
    QString port = c.invocation.port.isEmpty() ? c.values.Port : c.invocation.port;
    if (port.compare(QStringLiteral("demo"), Qt::CaseInsensitive) == 0 || IsDemoInterfaceName(port))
        return DemoInterfaceName(c.lang);
    if (port.compare(QStringLiteral("demo-kline"), Qt::CaseInsensitive) == 0 ||
        IsDemoKLineName(port))
        return DemoKLineName(c.lang);
    if (port.isEmpty()) {
        QStringList lines{c.text(CliText::NoPortConfigured)};
        for (const QString& entry : EnumerateComPorts(QString(), DemoEntryNames(c.lang)))
            lines << QStringLiteral("  ") + (IsDemoInterfaceName(entry) ? QStringLiteral("demo")
                                             : IsDemoKLineName(entry) ? QStringLiteral("demo-kline")
                                                                      : entry);
        throw CliFailure{Exit::Usage, lines.join(QLatin1Char('\n'))};
    }
    return port;
}

} // namespace

int RunCli(const QStringList& args, const QString& programDir, CliOutput& out) {
    Invocation inv;
    if (const std::optional<int> ended = ParseInvocation(args, programDir, inv, out))
        return *ended;
    out.setJson(inv.json);
    out.setQuiet(inv.quiet);
    CliContext context = makeContext(inv, programDir);

    QJsonObject doc = CommandSkeleton(inv.command);
    int status = Exit::Done;
    try {
        // The port list, the comparison of two files and the journal need no port.
        if (inv.command != u"ports" && inv.command != u"diff" && inv.command != u"journal")
            context.portName = portEntry(context);
        status = commandFunction(inv.command)(context, out, doc);
        // A stop that came while nothing waited on the interface.
        Interrupt::throwIfNew();
    } catch (const CliFailure& failure) {
        status = failure.exitCode;
        doc.insert(QStringLiteral("error"), failure.message);
        out.error(failure.message);
    } catch (const Interrupted& stop) {
        status = Interrupt::exitCode(stop.signal);
        doc.insert(QStringLiteral("interrupted"), true);
    }
    doc.insert(QStringLiteral("exitCode"), status);
    if (!out.recording().isEmpty())
        doc.insert(QStringLiteral("recording"), out.recording());
    if (inv.json)
        out.document(doc);
    return status;
}
