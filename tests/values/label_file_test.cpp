#include "values/label_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {
const char kLabels[] = "[Groups]\n"
                       "G1.1=Engine speed\n"
                       "G1.3=Coolant temperature\n"
                       "G1.4=   \n"
                       "g115.4 = Lambda \n"
                       "\n"
                       "[Raw]\n"
                       "raw1=Load\n"
                       "raw4=   \n"
                       "RAW10=Idle switch\n"
                       "\n"
                       "[Adaption]\n"
                       "K1T=Idle speed\n"
                       "K1-V1=Engine speed\n"
                       "K1.1=Raise or lower the idle speed\n"
                       "K11.1=Only for channel 11\n"
                       "K1.2=Range: 0=-100 upm, 255=+100 upm\n"
                       "K1.3=\n"
                       "\n"
                       "[Coding]\n"
                       "C1=00001 manual gearbox\n"
                       "C2=00002 automatic gearbox = 09G\n"
                       "\n"
                       "[Login]\n"
                       "L1=Code 12233 for cruise control\n";

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class LabelFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        writeFile(dir.filePath("labelfiles_en/036906034AM.ini"), kLabels);
        labels = OpenLabelFile(dir.path(), "en", "036 906 034 AM");
        ASSERT_TRUE(labels.isOpen());
    }
    QTemporaryDir dir;
    IniFile labels;
    const IniFile none;
};

TEST_F(LabelFileTest, GroupLabels) {
    struct {
        int group, field, type;
        const char* withFile;
        const char* withoutFile;
    } cases[] = {
        {1, 1, 1, "Engine speed", "1"},
        {1, 2, 6, "6", "6"},        // key missing
        {1, 3, -1, "-", "-"},       // no data, though the key exists
        {1, 4, 5, "5", "5"},        // blanks only
        {115, 4, 8, "Lambda", "8"}, // names match without regard to case
        {2, 1, 0, "0", "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "G" << c.group << "." << c.field);
        EXPECT_EQ(LookupGroupLabel(labels, c.group, c.field, c.type), c.withFile);
        EXPECT_EQ(LookupGroupLabel(none, c.group, c.field, c.type), c.withoutFile);
    }
}

TEST_F(LabelFileTest, RawLabels) {
    EXPECT_EQ(LookupRawLabel(labels, 1), "Load");
    EXPECT_EQ(LookupRawLabel(labels, 2), "2");
    EXPECT_EQ(LookupRawLabel(labels, 4), "4");
    EXPECT_EQ(LookupRawLabel(labels, 10), "Idle switch");
    EXPECT_EQ(LookupRawLabel(none, 1), "");
}

TEST_F(LabelFileTest, AdaptionLabelsAndTitle) {
    EXPECT_EQ(LookupAdaptionLabel(labels, 1, 1, 1), "Engine speed");
    EXPECT_EQ(LookupAdaptionLabel(labels, 1, 2, 6), "6");
    EXPECT_EQ(LookupAdaptionLabel(labels, 1, 3, -1), "-1");
    EXPECT_EQ(LookupAdaptionLabel(none, 1, 1, 7), "7");
    EXPECT_EQ(LookupAdaptionTitle(labels, 1), "Idle speed");
    EXPECT_EQ(LookupAdaptionTitle(labels, 2), "");
    EXPECT_EQ(LookupAdaptionTitle(none, 1), "");
}

TEST_F(LabelFileTest, HelpLines) {
    EXPECT_EQ(AdaptionHelpLines(labels, 1), QStringList({"Raise or lower the idle speed",
                                                         "Range: 0=-100 upm, 255=+100 upm", ""}));
    EXPECT_EQ(AdaptionHelpLines(labels, 11), QStringList({"Only for channel 11"}));
    EXPECT_TRUE(AdaptionHelpLines(labels, 2).isEmpty());
    EXPECT_EQ(LabelHelpLines(labels, "Coding"),
              QStringList({"00001 manual gearbox", "00002 automatic gearbox = 09G"}));
    EXPECT_EQ(LabelHelpLines(labels, "login"), QStringList({"Code 12233 for cruise control"}));
    EXPECT_TRUE(LabelHelpLines(labels, "Basic").isEmpty());
    EXPECT_TRUE(LabelHelpLines(none, "Coding").isEmpty());
    EXPECT_TRUE(AdaptionHelpLines(none, 1).isEmpty());
}

TEST_F(LabelFileTest, WindowsCodePageFile) {
    writeFile(dir.filePath("labelfiles_de/1J0920826C.ini"),
              "[Groups]\nG1.1=K\xFChlmitteltemperatur\n[Coding]\nC1=Gr\xF6\xDF"
              "e\n");
    const IniFile german = OpenLabelFile(dir.path(), "de", "1J0 920 826 C");
    ASSERT_TRUE(german.isOpen());
    EXPECT_EQ(LookupGroupLabel(german, 1, 1, 5), QString::fromUtf8("Kühlmitteltemperatur"));
    EXPECT_EQ(LabelHelpLines(german, "Coding"), QStringList({QString::fromUtf8("Größe")}));
}

TEST_F(LabelFileTest, FileNameAndPlace) {
    EXPECT_EQ(LabelFileName("1J0 920 826 C"), "1J0920826C");
    EXPECT_EQ(LabelFilePath("/opt/vandrix", "de", "036 906 034 AM"),
              "/opt/vandrix/labelfiles_de/036906034AM.ini");
    EXPECT_EQ(LabelFilePath("/opt/vandrix", "", "X"), "/opt/vandrix/labelfiles_/X.ini");

    // Found whatever the letter case of the file name.
    EXPECT_TRUE(OpenLabelFile(dir.path(), "en", "036906034am").isOpen());
    EXPECT_FALSE(OpenLabelFile(dir.path(), "de", "036 906 034 AM").isOpen());
    EXPECT_FALSE(OpenLabelFile(dir.path(), "en", "1J0907379P").isOpen());
    EXPECT_FALSE(OpenLabelFile(dir.path(), "en", "").isOpen());

    // A part number is text from the control unit, never a way out of the folder.
    writeFile(dir.filePath("secret.ini"), "[Groups]\nG1.1=x\n");
    EXPECT_FALSE(OpenLabelFile(dir.path(), "en", "../secret").isOpen());
    EXPECT_FALSE(OpenLabelFile(dir.path(), "en", "..\\secret").isOpen());
}
} // namespace

TEST(LabelFileSearch, UsersOwnFileComesBeforeTheShippedOne) {
    QTemporaryDir user, shipped;
    writeFile(shipped.filePath("labelfiles_de/1J0920826C.ini"), "[Groups]\nG1.1=Shipped\n");
    writeFile(shipped.filePath("labelfiles_de/036906034AM.ini"), "[Groups]\nG1.1=Engine\n");
    // The user's copy differs in the file name's letter case: still the user's.
    writeFile(user.filePath("labelfiles_de/1j0920826c.ini"), "[Groups]\nG1.1=Own\n");
    const QStringList dirs{user.path(), shipped.path()};

    EXPECT_EQ(LookupGroupLabel(OpenLabelFile(dirs, "de", "1J0 920 826 C"), 1, 1, 5), "Own");
    // Units without a file of the user's come from the shipped folder.
    EXPECT_EQ(LookupGroupLabel(OpenLabelFile(dirs, "de", "036906034AM"), 1, 1, 5), "Engine");
    EXPECT_FALSE(OpenLabelFile(dirs, "en", "1J0 920 826 C").isOpen());
    // A user's folder that does not exist yet is passed over.
    EXPECT_TRUE(
        OpenLabelFile(QStringList{user.filePath("missing"), shipped.path()}, "de", "1J0920826C")
            .isOpen());
}

// A label file that is an endless device (here found through the search
// without regard to case) is refused: the session goes on without names.
TEST(LabelFileSearch, EndlessOrOversizedFileIsRefusedNotRead) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("labelfiles_de"));
    ASSERT_TRUE(QFile::link("/dev/zero", dir.filePath("labelfiles_de/036906034am.ini")));
    const IniFile zero = OpenLabelFile(dir.path(), "de", "036 906 034 AM");
    EXPECT_FALSE(zero.isOpen());
    EXPECT_EQ(zero.refusal().kind, FileRefusal::TooLarge);
    EXPECT_EQ(LookupGroupLabel(zero, 1, 1, 6), "6");

    QFile big(dir.filePath("labelfiles_de/1J0920826C.ini"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(LabelFileLimits.maxBytes + 1));
    big.close();
    EXPECT_EQ(OpenLabelFile(dir.path(), "de", "1J0 920 826 C").refusal().kind,
              FileRefusal::TooLarge);
}
