// The search report as text: what the window's Memo2 and a command-line
// front end both print for a finished search.
#include "config/strings.h"
#include "qt_printers.h"
#include "reports/search_report.h"

#include <gtest/gtest.h>

TEST(SearchReport, FoundUnitWithFaultsThenAUnitNotFoundThenTheClosingLine) {
    SearchReportTexts texts = SearchReportTexts::load(10000);
    texts.codeText = [](int code) {
        return code == 283 ? QStringLiteral("Sensor front left") : QString();
    };
    texts.statusText = [](int status) {
        return status == 35 ? QStringLiteral("open\r\ncircuit") : QString();
    };

    SearchReportUnit found{"017 Instruments", true, {}, {{283, 35}, {18007, 2}}};
    found.identification.VAGTyp = "1J0 920 826 C";
    found.identification.Part = "KOMBI+WEGFAHRS.\r"; // line 3 keeps its CR
    found.identification.WSC = "01234";
    found.identification.Coding = "00142";
    const SearchReportUnit missing{"025 Immobilizer", false, {}, {}};

    const QStringList lines = SearchReport::Lines({found, missing}, texts);
    const QStringList expected{
        "======== 017 Instruments " + QString(50, '='),
        "-> Control Module found <-",
        " ",
        QString("VAG Type Number:").leftJustified(30) + "1J0 920 826 C",
        QString("Component ID:").leftJustified(30) + "KOMBI+WEGFAHRS.",
        QString("Extra Information:").leftJustified(30),
        QString("VAG Workshop Code:").leftJustified(30) + "01234",
        QString("Configuration Code:").leftJustified(30) + "00142",
        "-> 2 Error Code(s) <-",
        "-- 1 --",
        " 00283  Sensor front left",
        " 35     opencircuit",
        "-- 2 --",
        " 18007  ",
        " 2      ",
        " ",
        " ",
        "======== 025 Immobilizer " + QString(50, '='),
        "-> Control Module not found <-",
        " ",
        " ",
        "******** Vandrix " + LoadStr(0) + " " + QString(43, '*'),
    };
    EXPECT_EQ(lines, expected);
}

TEST(SearchReport, NoFaultsNoFaultLinesAndLongEntriesKeepTheirLength) {
    const SearchReportTexts texts = SearchReportTexts::load(0);
    EXPECT_TRUE(SearchReport::Faults({}, texts).isEmpty());
    const QString longEntry(70, 'x');
    EXPECT_EQ(SearchReport::UnitHeader(longEntry), QStringList{"======== " + longEntry + " "});
    EXPECT_EQ(SearchReport::NotFound(texts), QStringList{"-> Steuergerät nicht gefunden <-"});
}
