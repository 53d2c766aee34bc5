#include "config/ini_edit.h"
#include "config/ini_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(IniEdit, SetsOneValueAndLeavesEveryOtherLineAsItWas) {
    struct Case {
        const char* name;
        QByteArray before;
        QByteArray after;
    } cases[] = {
        {"replaced in place, names without regard to case, CR LF kept",
         "; comment\r\n[config]\r\nSprache=de\r\n  com-port = /dev/ttyUSB0 \r\nIBT=5\r\n",
         "; comment\r\n[config]\r\nSprache=de\r\n  com-port=/dev/serial/by-id/x\r\nIBT=5\r\n"},
        {"only the first of duplicate keys, as the reader finds it",
         "[Config]\nCOM-Port=a\nCOM-Port=b\n",
         "[Config]\nCOM-Port=/dev/serial/by-id/x\nCOM-Port=b\n"},
        {"a commented key and other sections stay",
         "[Other]\nCOM-Port=keep\n[Config]\n;COM-Port=old\nSplash=nein\n\n[Last]\nx=1\n",
         "[Other]\nCOM-Port=keep\n[Config]\n;COM-Port=old\nSplash=nein\n"
         "COM-Port=/dev/serial/by-id/x\n\n[Last]\nx=1\n"},
        {"section missing", "[Other]\nx=1\n",
         "[Other]\nx=1\n[Config]\nCOM-Port=/dev/serial/by-id/x\n"},
        {"no line break at the end", "[Config]\r\nSprache=de",
         "[Config]\r\nSprache=de\r\nCOM-Port=/dev/serial/by-id/x"},
        {"empty file", "", "[Config]\nCOM-Port=/dev/serial/by-id/x\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray after =
            WithIniValue(c.before, "Config", "COM-Port", "/dev/serial/by-id/x");
        EXPECT_EQ(after.toStdString(), c.after.toStdString());
        EXPECT_EQ(IniFile::fromBytes(after).readString("Config", "COM-Port"),
                  QStringLiteral("/dev/serial/by-id/x"));
    }
}

TEST(IniEdit, WritesTheFileWholeOrLeavesItAlone) {
    QTemporaryDir dir;
    const QString path = dir.filePath("vandrix.ini");
    EXPECT_FALSE(WriteIniValue(path, "Config", "COM-Port", "x")); // no file
    EXPECT_FALSE(QFile::exists(path));

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Config]\nCOM-Port=old\n");
    f.close();
    ASSERT_TRUE(WriteIniValue(path, "Config", "COM-Port", "/dev/serial/by-id/usb-Ä"));
    EXPECT_EQ(IniFile::open(path).readString("Config", "COM-Port"),
              QString::fromUtf8("/dev/serial/by-id/usb-Ä"));

    // Byte-wise editing would break a UTF-16 file.
    const QByteArray utf16("\xFF\xFE[\0C\0]\0", 8);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(utf16);
    f.close();
    EXPECT_FALSE(WriteIniValue(path, "Config", "COM-Port", "x"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), utf16);
}
} // namespace
