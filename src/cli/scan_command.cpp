// scan: the control unit search over addresses, all of the list or a car of
// autoscan.ini, printing the search page's report as it goes.
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/link_session.h"
#include "cli/output.h"
#include "cli/shapes.h"
#include "config/car_list.h"
#include "reports/kept_scan.h"
#include "reports/search_report.h"

#include <QDir>
#include <QJsonArray>
#include <algorithm>

namespace {
// The addresses to search, in the order of the unit list; carName becomes
// the list's name of the car chosen with --car.
QList<int> searchAddresses(const CliContext& c, QString& carName) {
    const Invocation& inv = c.invocation;
    QList<int> wanted;
    for (const QString& text : inv.arguments)
        wanted << RequireAddress(c, text);
    // Like the page's "select all" and car choice: never the airbag unit.
    if (inv.all)
        for (int address : ListAddresses())
            if (address != AirbagAddress)
                wanted << address;
    if (!inv.car.isEmpty()) {
        const QList<CarEntry> cars = ReadCarList(
            IniFile::open(c.paths.findDataFile(QStringLiteral("autoscan.ini")), CarListLimits));
        const auto car = std::find_if(cars.begin(), cars.end(), [&](const CarEntry& e) {
            return e.name.compare(inv.car, Qt::CaseInsensitive) == 0;
        });
        if (car == cars.end()) {
            QStringList names;
            for (const CarEntry& e : cars)
                names << QStringLiteral("  ") + e.name;
            throw CliFailure{Exit::Usage, c.text(CliText::UnknownCar).arg(inv.car) +
                                              QLatin1Char('\n') + names.join(QLatin1Char('\n'))};
        }
        carName = car->name;
        for (int address : CarAddresses(car->addressText))
            if (address != AirbagAddress)
                wanted << address;
    }
    QList<int> ordered;
    for (int address : ListAddresses())
        if (wanted.contains(address))
            ordered << address;
    return ordered;
}
} // namespace

int RunScan(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    QString carName;
    const QList<int> addresses = searchAddresses(c, carName);
    if (addresses.isEmpty())
        throw CliFailure{Exit::Usage, c.text(CliText::NoAddresses)};
    if (addresses.contains(AirbagAddress))
        ConfirmAirbag(c, out, AirbagAddress);
    doc.insert(QStringLiteral("port"), c.portName);
    const FaultTexts faultTexts = FaultTexts::open(c.paths.dataDirs(), c.languageCode);
    SearchReportTexts texts = SearchReportTexts::load(c.lang);
    texts.codeText = [&](int code) { return faultTexts.codeText(code); };
    texts.statusText = [&](int status) { return faultTexts.statusText(status); };

    QJsonArray units;
    QStringList report; // as shown
    QStringList kept;   // as kept: the report with the marks of each read
    qsizetype searched = 0;
    CliLink link(c, out, RecordingHeader::Kind::Search, addresses);
    // As the window, also a search cut short keeps what it found so far, and
    // says so.
    // The reason when the report could not be kept.
    const auto keep = [&](bool complete) -> QString {
        doc.insert(QStringLiteral("units"), units);
        doc.insert(QStringLiteral("report"), report.join(QLatin1Char('\n')));
        doc.insert(QStringLiteral("complete"), complete);
        doc.insert(QStringLiteral("cutShort"), !complete);
        if (!complete) {
            kept << ScanMark::CutShort();
            out.error(c.text(OutcomeText::ScanCutShort).arg(searched).arg(addresses.size()));
        }
        if (report.isEmpty())
            return QString();
        const KeptScan saved = SaveScanReport(kept.join(QLatin1Char('\n')), carName);
        if (!saved.saved())
            return c.text(TeamText::ScanNotSaved).arg(saved.failure);
        doc.insert(QStringLiteral("saved"), saved.path);
        out.status(c.text(TeamText::ScanSaved).arg(QDir::toNativeSeparators(saved.path)));
        return QString();
    };
    const auto add = [&](const QStringList& shown, const QStringList& marked) {
        for (const QString& line : shown)
            out.dataLine(line);
        report << shown;
        kept << marked;
    };
    try {
        link.run([&] {
            for (qsizetype i = 0; i < addresses.size(); ++i) {
                SearchReportUnit unit;
                FaultReadOutcome outcome = FaultReadOutcome::Empty;
                unit.entry = UnitEntry(addresses[i], c.lang);
                out.progress(
                    c.text(CliText::ScanProgress).arg(i + 1).arg(addresses.size()).arg(unit.entry));
                try {
                    CommandChannel& channel = link.connectUnit(addresses[i]);
                    unit.found = true;
                    unit.identification = link.identification();
                    try {
                        outcome = ReadFaultCodes(channel, unit.faults);
                    } catch (const std::exception&) {
                        // The report stops here; the kept file says this
                        // unit's fault memory was not read.
                        unit.faults.clear();
                        const QStringList shown =
                            SearchReport::UnitHeader(unit.entry) +
                            SearchReport::Identification(unit.identification, texts);
                        add(shown, KeptUnitLines(shown + SearchReport::UnitEnd(),
                                                 ScanFaultRead::Unreadable)
                                       .mid(0, shown.size() + 1));
                        throw;
                    }
                    link.endUnit();
                } catch (const CliFailure& failure) {
                    // A unit that does not answer is part of the report.
                    if (failure.exitCode != Exit::UnitSilent)
                        throw;
                }
                // As the search page: a refused read shows no faults there.
                if (outcome != FaultReadOutcome::Found)
                    unit.faults.clear();
                const QStringList lines = SearchReport::Unit(unit, texts);
                add(lines, unit.found ? KeptUnitLines(lines, ScanFaultReadOf(outcome)) : lines);
                ++searched;
                QJsonObject u{{QStringLiteral("address"), addresses[i]},
                              {QStringLiteral("unit"), unit.entry},
                              {QStringLiteral("found"), unit.found},
                              {QStringLiteral("identification"), QJsonValue()},
                              {QStringLiteral("faults"), QJsonValue()}};
                if (unit.found) {
                    u.insert(QStringLiteral("identification"),
                             IdentificationJson(unit.identification));
                    u.insert(QStringLiteral("faults"),
                             FaultsJson(c, outcome, unit.faults, faultTexts));
                }
                units.append(u);
            }
        });
    } catch (...) {
        out.endProgress();
        // The failure that cut the search short stays the command's outcome.
        if (const QString notKept = keep(false); !notKept.isEmpty())
            out.error(notKept);
        throw;
    }
    out.endProgress();
    add(SearchReport::Closing(texts), SearchReport::Closing(texts));
    // The search itself is done and printed: a report that could not be kept
    // is said, with no "saved" in the JSON, and the command still succeeds.
    if (const QString notKept = keep(true); !notKept.isEmpty())
        out.error(notKept);
    return Exit::Done;
}
