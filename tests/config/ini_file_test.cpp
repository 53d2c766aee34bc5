#include "config/car_list.h"
#include "config/config_values.h"
#include "config/ini_file.h"
#include "config/strings.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(IniFile, ValueRules) {
    const IniFile ini = IniFile::fromBytes("; comment line\r\n"
                                           "[Config]\r\n"
                                           "Sprache = de \r\n"
                                           "COM-Port=\"/dev/ttyUSB0\"\r\n"
                                           "Single='a b'\r\n"
                                           "Mismatch=\"a'\r\n"
                                           "Eq=a=b=c\r\n"
                                           "Empty=\r\n"
                                           "sprache=en\r\n"
                                           ";Debug=ja\r\n"
                                           "  [ Other ]  \n"
                                           "Key=1\n"
                                           "[config]\n"
                                           "Late=yes"); // no final line end
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"config", "SPRACHE", "de"}, // case-insensitive, first duplicate wins
        {"Config", "COM-Port", "/dev/ttyUSB0"},
        {"Config", "Single", "a b"},
        {"Config", "Mismatch", "\"a'"},
        {"Config", "Eq", "a=b=c"},
        {"Config", "Empty", ""},
        {"Config", "Debug", "default"}, // commented out
        {"Other", "key", "1"},
        {"CONFIG", "Late", "yes"}, // a repeated section adds to the first
        {"Missing", "Key", "default"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.readString(c.section, c.key, "default"), c.expected) << c.key;
    EXPECT_EQ(ini.readSection("other"), QStringList{"Key=1"});
    EXPECT_EQ(ini.readSection("Config").first(), "Sprache=de");
    EXPECT_TRUE(ini.readSection("Config").contains("sprache=en")); // help texts may repeat keys
}

TEST(IniFile, EncodingsAndJunk) {
    EXPECT_EQ(IniFile::fromBytes("[A]\nk=Gr\xc3\xbc\xc3\x9f\x65\n").readString("A", "k"), "Grüße");
    EXPECT_EQ(IniFile::fromBytes("[A]\nk=Gr\xfc\xdf\x65 \x80\n").readString("A", "k"), "Grüße €");
    EXPECT_EQ(IniFile::fromBytes("\xef\xbb\xbf[A]\nk=v\n").readString("A", "k"), "v");
    // UTF-16 with its byte-order mark, either byte order.
    const QString unicode = QStringLiteral("[Config]\r\nSprache=en\r\nCOM-Port=Gerät\r\n");
    QByteArray le("\xff\xfe"), be("\xfe\xff");
    for (const QChar c : unicode) {
        le += char(c.unicode() & 0xFF);
        le += char(c.unicode() >> 8);
        be += char(c.unicode() >> 8);
        be += char(c.unicode() & 0xFF);
    }
    for (const QByteArray& bytes : {le, be}) {
        const IniFile ini = IniFile::fromBytes(bytes);
        EXPECT_EQ(ini.readString("config", "Sprache"), "en");
        EXPECT_EQ(ini.readString("Config", "COM-Port"), "Gerät");
    }

    QByteArray junk("[A]\nk=v\0w\n", 11);
    for (int i = 0; i < 4096; ++i)
        junk += char((i * 7919) & 0xFF);
    const IniFile j = IniFile::fromBytes(junk);
    EXPECT_EQ(j.readString("A", "k"), "vw");

    QByteArray huge = "[A]\nlong=" + QByteArray(1 << 20, 'x') + "\nafter=1\n";
    const IniFile h = IniFile::fromBytes(huge);
    EXPECT_EQ(h.readString("A", "long").size(), IniFile::MaxValueLength);
    EXPECT_EQ(h.readString("A", "after"), "1");
}

TEST(IniFile, MissingFileGivesDefaults) {
    QTemporaryDir dir;
    const IniFile missing = IniFile::open(dir.filePath("none.ini"));
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.readString("Config", "IBT", "5"), "5");
    EXPECT_TRUE(missing.readSection("Config").isEmpty());

    QFile f(dir.filePath("x.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Carlist]\nGolf=1,9,17\nPolo=1,3\n");
    f.close();
    const IniFile ini = IniFile::open(f.fileName());
    EXPECT_TRUE(ini.isOpen());
    EXPECT_EQ(ini.readSection("carlist"), (QStringList{"Golf=1,9,17", "Polo=1,3"}));
}

// Every INI reader takes a file within its format's limits and refuses the
// rest with the reason, at once: a folder, an endless device, a pipe without
// a writer, a file too large or with too many entries.
TEST(IniFile, RefusesWhatIsNoFileOrTooLarge) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.ini");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString sparse = dir.filePath("sparse.ini");
    {
        QFile f(sparse);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(ConfigFileLimits.maxBytes + 1));
    }
    const QString many = dir.filePath("many.ini");
    {
        QFile f(many);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Carlist]\n");
        for (qsizetype i = 0; i <= CarListLimits.maxEntries; ++i)
            f.write("c=x,1\n");
    }
    const QString symlinkToZero = dir.filePath("zero.ini");
    ASSERT_TRUE(QFile::link("/dev/zero", symlinkToZero));

    const struct {
        QString path;
        IniLimits limits;
        FileRefusal::Kind kind;
        const char* text;
    } cases[] = {
        {"/dev/zero", ConfigFileLimits, FileRefusal::TooLarge, "/dev/zero is larger than 64 kB"},
        {symlinkToZero, CarListLimits, FileRefusal::TooLarge, "is larger than 1 MB"},
        {sparse, ConfigFileLimits, FileRefusal::TooLarge, "is larger than 64 kB"},
        {many, CarListLimits, FileRefusal::TooMany, "has more than 5000 entries"},
        {dir.path(), ConfigFileLimits, FileRefusal::Folder, "is a folder, not a file"},
        {dir.filePath("none"), ConfigFileLimits, FileRefusal::Missing, "none does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const IniFile ini = IniFile::open(c.path, c.limits);
        EXPECT_FALSE(ini.isOpen());
        EXPECT_EQ(ini.refusal().kind, c.kind);
        EXPECT_TRUE(ini.refusal().text(EnglishStringOffset).contains(c.text))
            << ini.refusal().text(EnglishStringOffset).toStdString();
        EXPECT_EQ(ini.readString("Config", "IBT", "5"), "5");
    }
    // A pipe that nobody writes reads as an empty file, not as a wait.
    const IniFile pipe = IniFile::open(fifo, ConfigFileLimits);
    EXPECT_TRUE(pipe.isOpen());
    EXPECT_FALSE(pipe.refusal());
    // At the limit exactly is still read.
    {
        QFile f(many);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Carlist]\n");
        for (qsizetype i = 0; i < CarListLimits.maxEntries; ++i)
            f.write("c=x,1\n");
    }
    EXPECT_EQ(IniFile::open(many, CarListLimits).readSection("Carlist").size(),
              CarListLimits.maxEntries);
}

TEST(ConfigValues, TimingsOutsideTheChipsByteGiveTheirDefaultWithANote) {
    const struct {
        const char* ibt;
        const char* bdt;
        int interByte, blockDelay;
        int notes;
    } cases[] = {
        {"0", "255", 0, 255, 0},
        {"-1", "256", 5, 40, 2},
        {"7", "-7", 7, 40, 1},
        {"abc", "", 5, 40, 0}, // not a number is the old default without a note
    };
    for (const auto& c : cases) {
        const IniFile ini =
            IniFile::fromBytes(QByteArray("[Config]\nIBT=") + c.ibt + "\nBDT=" + c.bdt + "\n");
        const ConfigValues v = ReadConfigValues(ini);
        EXPECT_EQ(v.InterByteTime, c.interByte) << c.ibt;
        EXPECT_EQ(v.BlockDelayTime, c.blockDelay) << c.bdt;
        ASSERT_EQ(v.refused.size(), c.notes) << c.ibt << " " << c.bdt;
    }
    const ConfigValues v = ReadConfigValues(IniFile::fromBytes("[Config]\nBDT=-7\n"));
    EXPECT_EQ(v.refused, QStringList{"Konfiguration: BDT=-7 liegt nicht in 0..255, es gilt 40"});
}
