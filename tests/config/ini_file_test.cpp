#include "config/ini_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
