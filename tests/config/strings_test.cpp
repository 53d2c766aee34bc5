#include "config/file_texts.h"
#include "config/strings.h"

#include <gtest/gtest.h>
#include <vector>

#include <climits>
#include <set>
#include <vector>

namespace {

constexpr int En = EnglishStringOffset;

// Ids inside the used ranges that have no text in either language.
const std::set<int> kUnused = {4, 5, 8, 13, 14, 15, 25, 28, 30, 35, 36, 53, 64, 97, 303};

bool inUsedRange(int id) {
    return (id >= 1 && id <= 120) || (id >= 300 && id <= 306) || (id >= 1001 && id <= 1094);
}

struct Case {
    int id;
    const char* text; // UTF-8
};

TEST(LoadStr, SpotChecksInBothLanguages) {
    const Case cases[] = {
        {0, "Version 1.41"},
        {1, "Steuergerät:"},
        {En + 1, "Control Unit:"},
        {3, "&Verbinden"},
        {En + 3, "&Connect"},
        {10, "&Meßwerte"},
        {En + 29, "Ra&w Data"},
        {24, "Protokoll: "},
        {En + 24, "Protocol: "},
        {26, " geöffnet"},
        {En + 27, " not found"},
        {92, "DTCs: "},
        {En + 92, "DTC's: "},
        {33, "Durch das Löschen der Fehlercodes verlieren Sie wichtige Serviceinformationen und "
             "der Readiness-Code wird zurückgesetzt. Notieren Sie sich zuvor alle Fehlercodes. "
             "Sind sie sicher?"},
        {52, "Abgasrückführung"},
        {68, "Funktion DTC Auslesen wird vom Steuergerät nicht unterstüzt."},
        {En + 68, "Control Module does not support reading of DTC's."},
        {71, "Softwarecodierung:"},
        {En + 71, "Configuration Code:"},
        {83, "Änderungen erfolgreich durchgeführt."},
        {105, "Login-Code ungültig (0..65535)."},
        {120, "U2 nicht definiert!"},
        {En + 120, "U2 not defined!"},
        {300, "Port wird durch eine andere Anwendung blockiert."},
        {En + 300, "Port by an other application blocked."},
        {301, "Fehler"},
        {En + 301, "Error"},
        {302, "Kein hochauflösender Timer verfügbar"},
        {305, "Kein Vandrix Pro gefunden.\nStellen Sie sicher, daß Sie ein Interface mit Vandrix "
              "Pro Chip verwenden.\nLesen Sie das Handbuch."},
        {En + 305, "No Vandrix Pro found.\nMake sure that you use an interface with Vandrix Pro "
                   "chip.\r"
                   "ead the manual."},
        {306, "Kein Kontakt zum Diagnoseinterface herstellbar.\nStellen Sie sicher, daß Sie ein "
              "Interface mit Vandrix Pro Chip verwenden.\nLesen Sie das Handbuch."},
        {En + 306, "Can not contact diagnostiv interface.\nMake sure that you use an interface "
                   "with Vandrix Pro chip.\r"
                   "ead the manual."},
        {1001, "001 [01] - Motor (ECU)"},
        {En + 1001, "001 [01] - Engine (ECU)"},
        {1010, "011 [0B] - Sekundäre Luftheizung"},
        {1021, "024 [18] - Zusatzheizung"},
        {En + 1021, "024 [18] - Additional heating system"},
        {1093, "125 [7D] - Zusatzheizung"},
        {En + 1093, "125 [7D] - Extra Heating"},
        {1094, "126 [7E] - Anzeige Armaturenbrett"},
        {En + 1094, "126 [7E] - Head Dash Control"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadStr(c.id), QString::fromUtf8(c.text)) << "id " << c.id;
}

TEST(LoadStr, LongTextsKeepTheirWording) {
    EXPECT_TRUE(
        LoadStr(58).startsWith(u"Es wird dringend empfohlen, bei Fahrzeugen vom Typ VW Golf"));
    EXPECT_TRUE(LoadStr(58).contains(u"unwiderruflich permament leuchtet"));
    EXPECT_TRUE(LoadStr(58).endsWith(u"Risiken bewußt sind."));
    EXPECT_TRUE(LoadStr(En + 58).contains(u"of the type VVW Golf,"));
    EXPECT_TRUE(LoadStr(En + 58).endsWith(u"they are aware of the risks."));
    EXPECT_TRUE(LoadStr(En + 111).startsWith(u"Never run the ouput test"));
}

TEST(LoadStr, SharedTextsAreEqualWhereTheyShouldBe) {
    EXPECT_EQ(LoadStr(60), LoadStr(65));
    EXPECT_EQ(LoadStr(En + 60), LoadStr(En + 65));
    EXPECT_EQ(LoadStr(59), LoadStr(112));
    EXPECT_EQ(LoadStr(En + 59), LoadStr(En + 112));
    EXPECT_EQ(LoadStr(En + 71), LoadStr(En + 18));
    EXPECT_NE(LoadStr(71), LoadStr(18));
}

TEST(LoadStr, IdsWithoutTextGiveEmpty) {
    const int ids[] = {-1,     INT_MIN,    INT_MAX,  121,      299,        307,       1000,
                       1095,   En,         En + 121, En + 299, En + 307,   En + 1000, En + 1095,
                       2 * En, 2 * En + 1, 65535,    En - 1,   En + 10000, 303};
    for (int id : ids)
        EXPECT_TRUE(LoadStr(id).isEmpty()) << "id " << id;
    for (int id : kUnused) {
        EXPECT_TRUE(LoadStr(id).isEmpty()) << "id " << id;
        EXPECT_TRUE(LoadStr(En + id).isEmpty()) << "id " << En + id;
    }
}

// Walks every used id: both languages filled, and only the few texts that are
// meant to hold control characters or edge blanks do.
TEST(LoadStr, EveryUsedIdIsFilledAndClean) {
    const std::set<int> withControls = {305, 306};
    const std::set<int> edgeBlanks = {24, 26, 27, 92};
    int filled = 0;
    for (int id = 1; id <= 1094; ++id) {
        if (!inUsedRange(id) || kUnused.count(id))
            continue;
        for (int abs : {id, En + id}) {
            const QString s = LoadStr(abs);
            ASSERT_FALSE(s.isEmpty()) << "id " << abs;
            ++filled;
            const bool hasControl =
                std::any_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x20; });
            EXPECT_EQ(hasControl, withControls.count(id) == 1) << "id " << abs;
            EXPECT_FALSE(s.contains(u'\\')) << "id " << abs;
            EXPECT_EQ(s != s.trimmed(), edgeBlanks.count(id) == 1) << "id " << abs;
        }
    }
    EXPECT_EQ(filled, 2 * (120 - 14 + 6 + 94));
}

// The team's own texts: each in both languages, with the same placeholders.
TEST(LoadStr, TeamTextsHaveBothLanguagesAndTheSamePlaceholders) {
    std::vector<int> ids;
    for (int id = TeamText::First; id <= TeamText::Last; ++id)
        ids.push_back(id);
    for (int id = ReaderText::First; id <= ReaderText::Last; ++id)
        ids.push_back(id);
    for (int id = OutcomeText::First; id <= OutcomeText::Last; ++id)
        ids.push_back(id);
    for (int id = ViewText::First; id <= ViewText::Last; ++id)
        ids.push_back(id);
    for (int id = FileText::First; id <= FileText::Last; ++id)
        ids.push_back(id);
    for (int id = LinkText::First; id <= LinkText::Last; ++id)
        if (!LoadStr(id).isEmpty())
            ids.push_back(id);
    for (int id : ids) {
        const QString de = LoadStr(id);
        const QString en = LoadStr(En + id);
        ASSERT_FALSE(de.isEmpty()) << "id " << id;
        ASSERT_FALSE(en.isEmpty()) << "id " << En + id;
        EXPECT_NE(de, en) << "id " << id;
        for (const char* mark : {"%1", "%2", "%3"})
            EXPECT_EQ(de.count(QLatin1String(mark)), en.count(QLatin1String(mark)))
                << "id " << id << " " << mark;
    }
    EXPECT_TRUE(LoadStr(TeamText::Last + 1).isEmpty());
    EXPECT_TRUE(LoadStr(TeamText::First - 1).isEmpty());
    EXPECT_TRUE(LoadStr(ReaderText::Last + 1).isEmpty());
    EXPECT_TRUE(LoadStr(OutcomeText::Last + 1).isEmpty());
    EXPECT_TRUE(LoadStr(ViewText::Last + 1).isEmpty());
    EXPECT_TRUE(LoadStr(FileText::Last + 1).isEmpty());
}

TEST(LoadStr, ControlUnitEntriesCarryRisingAddresses) {
    int previous = 0;
    for (int id = 1001; id <= 1094; ++id) {
        const QString de = LoadStr(id);
        const QString en = LoadStr(En + id);
        SCOPED_TRACE(de.toStdString());
        ASSERT_GT(de.size(), 11);
        ASSERT_GT(en.size(), 11);
        // "ddd [hh] - " is the same in both languages.
        EXPECT_EQ(de.left(11), en.left(11));
        EXPECT_EQ(de.mid(3, 2), u" [");
        EXPECT_EQ(de.mid(7, 4), u"] - ");
        bool decOk = false, hexOk = false;
        const int address = de.left(3).toInt(&decOk);
        const int hex = de.mid(5, 2).toInt(&hexOk, 16);
        EXPECT_TRUE(decOk && hexOk);
        EXPECT_EQ(address, hex);
        EXPECT_EQ(de.mid(5, 2), de.mid(5, 2).toUpper());
        EXPECT_GT(address, previous);
        EXPECT_LE(address, 126);
        previous = address;
    }
}

} // namespace
