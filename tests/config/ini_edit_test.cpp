#include "config/atomic_file.h"
#include "config/ini_edit.h"
#include "config/ini_file.h"

#include "support/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

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

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

// A disk that takes 4 bytes more, then says it is full.
ssize_t FullAfterFour(int fd, const void* data, size_t size) {
    static size_t room = 4;
    if (room == 0) {
        errno = ENOSPC;
        return -1;
    }
    const size_t n = std::min(size, room);
    room -= n;
    return ::write(fd, data, n);
}

// A full disk once left an empty file in place of the user's, reported as written.
TEST(AtomicFile, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    const QByteArray old = "[Config]\nCOM-Port=old\n";
    struct Case {
        const char* name;
        AtomicWriteMode mode;
        bool fileBefore;
        bool diskFull;
        bool written;
        bool existed;
        QByteArray after;
    } cases[] = {
        {"replaced", AtomicWriteMode::Replace, true, false, true, false, "new content\n"},
        {"full disk: the old file stays", AtomicWriteMode::Replace, true, true, false, false, old},
        {"full disk, no file before: none after", AtomicWriteMode::Replace, false, true, false,
         false, "(missing)"},
        {"created", AtomicWriteMode::CreateOnly, false, false, true, false, "new content\n"},
        {"another made it first: theirs stays", AtomicWriteMode::CreateOnly, true, false, false,
         true, old},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("vandrix.ini");
        if (c.fileBefore) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        AtomicWriteResult result;
        {
            // The system's own refusal of a file grown past a limit.
            std::optional<FileSizeLimit> full;
            if (c.diskFull)
                full.emplace(4);
            result = WriteFileAtomically(path, "new content\n", c.mode);
        }
        EXPECT_EQ(result.written, c.written);
        EXPECT_EQ(result.existed, c.existed);
        EXPECT_EQ(result.reason.isEmpty(), !c.diskFull) << result.reason.toStdString();
        EXPECT_EQ(contentOf(path).toStdString(), c.after.toStdString());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(),
                  c.after == "(missing)" ? 0 : 1);
        if (c.written) {
            struct stat st {};
            ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0600u);
        }
    }
}

TEST(IniEdit, AFullDiskKeepsTheFileAndGivesTheSystemsReason) {
    QTemporaryDir dir;
    const QString path = dir.filePath("vandrix.ini");
    const QByteArray old = "[Config]\nCOM-Port=old\n";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    SetAtomicWriteFunction(&FullAfterFour);
    QString reason;
    const bool written = WriteIniValue(path, "Config", "COM-Port", "/dev/ttyUSB0", &reason);
    SetAtomicWriteFunction(nullptr);
    EXPECT_FALSE(written);
    EXPECT_EQ(reason, QString::fromLocal8Bit(strerror(ENOSPC)));
    EXPECT_EQ(contentOf(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}
} // namespace
