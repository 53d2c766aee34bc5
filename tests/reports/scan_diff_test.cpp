// Saved search reports compared: what a second scan of the same car found
// that the first did not, and the other way round.
#include "reports/scan_diff.h"

#include <gtest/gtest.h>

namespace {

struct Fault {
    int code;
    int status;
};

// One unit's lines exactly as the search writes them (German texts).
QStringList UnitLines(const QString& entry, const QString& part, QList<Fault> faults,
                      bool found = true) {
    const QString pad = QString(30 - 21, ' ');
    QStringList lines{"======== " + entry + " " + QString(65 - entry.size(), '=')};
    if (!found)
        return lines + QStringList{"-> Steuergerät nicht gefunden <-", " ", " "};
    lines << "-> Steuergerät gefunden <-"
          << " "
          << "VAG Geräte-Typnummer:" + pad + part
          << QString("Bauteilbezeichnung:").leftJustified(30) + "KOMBI"
          << QString("Zusatzinformationen:").leftJustified(30)
          << QString("VAG Werkstattcode:").leftJustified(30) + "04711"
          << QString("Softwarecodierung:").leftJustified(30) + "01262";
    if (!faults.isEmpty()) {
        lines << QString("-> %1 Fehlercode(s) <-").arg(faults.size());
        int n = 0;
        for (const Fault& f : faults) {
            lines << QString("-- %1 --").arg(++n);
            lines << QString(" %1  Fehler %2").arg(f.code, 5, 10, QChar('0')).arg(f.code);
            lines << " " + QString::number(f.status).leftJustified(7) + "Status " +
                         QString::number(f.status);
        }
    }
    return lines << " "
                 << " ";
}

QString Report(const QList<QStringList>& units) {
    QStringList lines;
    for (const QStringList& u : units)
        lines += u;
    lines << "******** Vandrix Version 1.41 " + QString(43, '*');
    return lines.join('\n') + '\n';
}

const QString Engine = "001 [01] - Motor (ECU)";
const QString Kombi = "017 [11] - Motor 2";
const QString Brakes = "003 [03] - ABS Bremsen";

} // namespace

TEST(ScanReport, ReadsUnitsIdentificationAndFaults) {
    const ScanReport r = ParseScanReport(
        Report({UnitLines(Engine, "036906034AM", {}), UnitLines(Brakes, "", {}, false),
                UnitLines(Kombi, "1J0920826C", {{18010, 35}, {257, 161}})}));
    EXPECT_TRUE(r.complete);
    ASSERT_EQ(r.units.size(), 3);
    EXPECT_EQ(r.units[0].entry, Engine);
    EXPECT_EQ(r.units[0].address, 1);
    EXPECT_TRUE(r.units[0].found);
    EXPECT_EQ(r.units[0].partNumber, "036906034AM");
    EXPECT_FALSE(r.units[1].found);
    ASSERT_EQ(r.units[2].faults.size(), 2);
    EXPECT_EQ(r.units[2].faults[1].code, 257);
    EXPECT_EQ(r.units[2].faults[1].codeText, "Fehler 257");
    EXPECT_EQ(r.units[2].faults[1].status, 161);
    EXPECT_EQ(r.units[2].faults[1].statusText, "Status 161");

    // A search that failed part way has no closing line.
    EXPECT_FALSE(ParseScanReport(UnitLines(Engine, "x", {}).join('\n')).complete);
}

TEST(ScanDiff, TwoScansWithOneFaultClearedDifferByExactlyThat) {
    const QString before = Report({UnitLines(Engine, "036906034AM", {{532, 35}}),
                                   UnitLines(Kombi, "1J0920826C", {{18010, 35}, {257, 161}})});
    const QString after = Report({UnitLines(Engine, "036906034AM", {{532, 35}}),
                                  UnitLines(Kombi, "1J0920826C", {{257, 161}})});
    const ScanDifference d = DiffScanReports(before, after);
    ASSERT_EQ(d.goneFaults.size(), 1);
    EXPECT_EQ(d.goneFaults[0].address, 17);
    EXPECT_EQ(d.goneFaults[0].before.code, 18010);
    EXPECT_EQ(d.goneFaults[0].before.status, 35);
    ScanDifference rest = d;
    rest.goneFaults.clear();
    EXPECT_TRUE(rest.isEmpty());
    EXPECT_EQ(
        ScanDifferenceLines(d, 10000),
        QStringList({"fault gone: 017 [11] - Motor 2: 18010 Fehler 18010, status 35 Status 35"}));
    EXPECT_EQ(ScanDifferenceLines(d, 0),
              QStringList({"Fehler nicht mehr gespeichert: 017 [11] - Motor 2: 18010 Fehler 18010, "
                           "Status 35 Status 35"}));
    EXPECT_EQ(ScanDifferenceLines(DiffScanReports(after, after), 10000),
              QStringList({"no difference"}));
}

TEST(ScanDiff, UnitsAndFaultsThatCameWentOrChanged) {
    const QString before =
        Report({UnitLines(Engine, "036906034AM", {}), UnitLines(Brakes, "", {}, false),
                UnitLines(Kombi, "1J0920826C", {{18010, 35}, {257, 161}}),
                UnitLines("009 [09] - Zentralelektrik", "1C0937049D", {})});
    const QString after =
        Report({UnitLines(Engine, "", {}, false), UnitLines(Brakes, "1J0907379P", {}),
                UnitLines(Kombi, "1J0920826C", {{257, 35}, {1314, 35}}),
                UnitLines("025 [19] - CAN Gateway", "1K0907530", {})});
    const ScanDifference d = DiffScanReports(before, after);
    ASSERT_EQ(d.appeared.size(), 1);
    EXPECT_EQ(d.appeared[0].address, 3);
    ASSERT_EQ(d.disappeared.size(), 1);
    EXPECT_EQ(d.disappeared[0].address, 1);
    ASSERT_EQ(d.newFaults.size(), 1);
    EXPECT_EQ(d.newFaults[0].after.code, 1314);
    ASSERT_EQ(d.goneFaults.size(), 1);
    EXPECT_EQ(d.goneFaults[0].before.code, 18010);
    ASSERT_EQ(d.changedStatus.size(), 1);
    EXPECT_EQ(d.changedStatus[0].before.status, 161);
    EXPECT_EQ(d.changedStatus[0].after.status, 35);
    // Searched in one scan only: not compared, but said.
    ASSERT_EQ(d.onlyInOlder.size(), 1);
    EXPECT_EQ(d.onlyInOlder[0].address, 9);
    ASSERT_EQ(d.onlyInNewer.size(), 1);
    EXPECT_EQ(d.onlyInNewer[0].address, 25);
    EXPECT_EQ(
        ScanDifferenceLines(d, 10000),
        QStringList({"unit appeared: 003 [03] - ABS Bremsen (1J0907379P)",
                     "unit disappeared: 001 [01] - Motor (ECU) (036906034AM)",
                     "fault new: 017 [11] - Motor 2: 01314 Fehler 1314, status 35 Status 35",
                     "fault gone: 017 [11] - Motor 2: 18010 Fehler 18010, status 35 Status 35",
                     "status changed: 017 [11] - Motor 2: 00257 Fehler 257, status 161 "
                     "Status 161 -> 35 Status 35",
                     "searched only in the older report: 009 [09] - Zentralelektrik",
                     "searched only in the newer report: 025 [19] - CAN Gateway"}));
}

TEST(ScanDiff, AFaultIsGoneOnlyWhenBothReadsWorked) {
    // The newer unit lists no faults: marked empty, refused or unreadable, or
    // without a mark (a report of before the marks).
    const QString before = Report({UnitLines(Kombi, "1J0920826C", {{18010, 35}})});
    const auto newer = [](const QString& mark) {
        QStringList unit = UnitLines(Kombi, "1J0920826C", {});
        if (!mark.isEmpty())
            unit.insert(unit.size() - 2, mark);
        return Report({unit});
    };
    EXPECT_EQ(DiffScanReports(before, newer("## faults: empty")).goneFaults.size(), 1);
    for (const QString& mark : {QString("## faults: refused"), QString("## faults: unreadable"),
                                QString("## faults: unsupported"), QString()}) {
        SCOPED_TRACE(mark.toStdString());
        const ScanDifference d = DiffScanReports(before, newer(mark));
        EXPECT_TRUE(d.goneFaults.isEmpty());
        ASSERT_EQ(d.notCompared.size(), 1);
    }
    EXPECT_EQ(ScanDifferenceLines(DiffScanReports(before, newer("## faults: refused")), 10000),
              QStringList({"faults not compared: 017 [11] - Motor 2: older report read, newer "
                           "report refused"}));
    // Marks are not units: an old reader's view of the report is unchanged.
    const ScanReport marked =
        ParseScanReport(newer("## faults: refused") + "## search: cut short\n");
    ASSERT_EQ(marked.units.size(), 1);
    EXPECT_EQ(marked.units[0].faultRead, ScanFaultRead::Refused);
    EXPECT_TRUE(marked.cutShort);
}

TEST(ScanDiff, AReplacedOrRecodedUnitIsNamed) {
    const QString before = Report({UnitLines(Kombi, "1J0920826C", {})});
    QStringList recoded = UnitLines(Kombi, "1J0920826C", {});
    recoded.replaceInStrings("01262", "01263");
    const ScanDifference r = DiffScanReports(before, Report({recoded}));
    ASSERT_EQ(r.recoded.size(), 1);
    EXPECT_TRUE(r.replaced.isEmpty());
    EXPECT_EQ(ScanDifferenceLines(r, 10000),
              QStringList({"unit recoded: 017 [11] - Motor 2: coding 01262, workshop code 04711 "
                           "-> coding 01263, workshop code 04711"}));
    const ScanDifference p = DiffScanReports(before, Report({UnitLines(Kombi, "1J0920826D", {})}));
    ASSERT_EQ(p.replaced.size(), 1);
    EXPECT_EQ(p.replaced[0].before.partNumber, "1J0920826C");
    EXPECT_EQ(p.replaced[0].after.partNumber, "1J0920826D");
    EXPECT_TRUE(p.recoded.isEmpty());
}
