// The log file on a real disk: what a spreadsheet later finds in it, and that
// neither a full disk nor an unusable name loses what was there or crashes.
#include "log/measurement_log_file.h"
#include "support/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

namespace {
QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}
const QByteArray Stars(60, '*');
} // namespace

class MeasurementLogFileTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
    MeasurementLogFile log;
};

TEST_F(MeasurementLogFileTest, BindingCreatesNothingOpeningCreatesAnEmptyFile) {
    log.bind(path("new.csv"));
    EXPECT_FALSE(QFile::exists(path("new.csv")));
    ASSERT_TRUE(log.open());
    EXPECT_EQ(contents(path("new.csv")), "");
    EXPECT_TRUE(log.writeLine("Vandrix Version 1.41;x"));
    EXPECT_TRUE(log.writeCells({"1", "", "3"}));
    EXPECT_TRUE(log.writeCell("Meßwerte"));
    EXPECT_TRUE(log.writeCell("A;\r"));
    EXPECT_TRUE(log.endLine());
    // Each piece is in the file at once, before any close; a cell cannot
    // carry a separator or a line end into the file.
    EXPECT_EQ(contents(path("new.csv")), "Vandrix Version 1.41;x\r\n1;;3;" +
                                             QString("Meßwerte;A,\uFFFD;").toLocal8Bit() + "\r\n");
    log.close();
    EXPECT_TRUE(log.takeFailure().isEmpty());
}

TEST_F(MeasurementLogFileTest, AnExistingFileIsAppendedToAfterASeparator) {
    {
        QFile f(path("old.csv"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier;recording;");
    }
    log.bind(path("old.csv"));
    ASSERT_TRUE(log.open());
    log.writeLine("header");
    log.close();
    // A second recording into the same file, with the file left bound.
    ASSERT_TRUE(log.open());
    log.writeCell("row");
    log.close();
    EXPECT_EQ(contents(path("old.csv")),
              "earlier;recording;\r\n\r\n" + Stars + "\r\nheader\r\n\r\n\r\n" + Stars + "\r\nrow;");
}

TEST_F(MeasurementLogFileTest, WritesWhileClosedFailQuietly) {
    EXPECT_FALSE(log.writeCell("x")); // never bound
    log.bind(path("a.csv"));
    EXPECT_FALSE(log.endLine());
    log.close(); // not open: nothing happens
    EXPECT_TRUE(log.takeFailure().isEmpty());
    EXPECT_FALSE(QFile::exists(path("a.csv")));
}

TEST_F(MeasurementLogFileTest, AFailureIsReportedOncePerRecording) {
    // A name that is a folder cannot be opened.
    QDir(dir.path()).mkdir("folder.csv");
    log.bind(path("folder.csv"));
    EXPECT_FALSE(log.open());
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.takeFailure().isEmpty());
    EXPECT_FALSE(log.writeCell("x"));
    EXPECT_TRUE(log.takeFailure().isEmpty());

    // A full disk: the separator already fails, and so does every later cell.
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    log.bind("/dev/full");
    EXPECT_FALSE(log.open());
    EXPECT_FALSE(log.writeCell("1"));
    EXPECT_FALSE(log.endLine());
    const QString reason = log.takeFailure();
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_TRUE(log.takeFailure().isEmpty());
    log.close();
    // The next recording reports again.
    log.open();
    EXPECT_FALSE(log.takeFailure().isEmpty());
    log.close();
}

TEST_F(MeasurementLogFileTest, AFullDiskEndsTheFileAfterAWholeCellAndGivesTheSystemsReason) {
    log.bind(path("voll.csv"));
    ASSERT_TRUE(log.open());
    {
        FileSizeLimit limit(16);
        EXPECT_TRUE(log.writeCell("12345"));
        EXPECT_TRUE(log.writeCell("67890"));
        // Four of its nine bytes would still fit.
        EXPECT_FALSE(log.writeCell("abcdefgh"));
        EXPECT_EQ(log.takeFailure(), QString::fromLocal8Bit(strerror(EFBIG)));
    }
    // Nothing more once a write failed, though there is room again: the row
    // would lose a cell in the middle.
    EXPECT_FALSE(log.writeCell("x"));
    EXPECT_FALSE(log.endLine());
    EXPECT_TRUE(log.takeFailure().isEmpty());
    EXPECT_EQ(contents(path("voll.csv")), "12345;67890;");
    log.close();
    // A new recording writes again.
    ASSERT_TRUE(log.open());
    EXPECT_TRUE(log.writeCell("neu"));
    log.close();
    EXPECT_EQ(contents(path("voll.csv")), "12345;67890;\r\n\r\n" + Stars + "\r\nneu;");
}

TEST_F(MeasurementLogFileTest, ARowGoesInWholeWithItsLineEndOrNotAtAll) {
    log.bind(path("zeilen.csv"));
    ASSERT_TRUE(log.open());
    log.addRowCells({"1", "13,50"});
    log.addRowCells({"2", "A;"});
    // A kill now leaves nothing of the row in the file.
    EXPECT_EQ(contents(path("zeilen.csv")), "");
    EXPECT_TRUE(log.endLine());
    EXPECT_EQ(contents(path("zeilen.csv")), "1;13,50;2;A,;\r\n");
    // A row never ended (a session stopped mid-pass) is dropped by close.
    log.addRowCells({"3", "4"});
    log.close();
    EXPECT_EQ(contents(path("zeilen.csv")), "1;13,50;2;A,;\r\n");
    {
        // A full disk takes none of a row: it is cut back whole.
        ASSERT_TRUE(log.open());
        const qint64 size = QFileInfo(path("zeilen.csv")).size();
        FileSizeLimit limit(size + 4);
        log.addRowCells({"12345", "67890"});
        EXPECT_FALSE(log.endLine());
        EXPECT_EQ(QFileInfo(path("zeilen.csv")).size(), size);
    }
    log.close();
}

TEST_F(MeasurementLogFileTest, FailureMessageIsInTheUsersLanguage) {
    EXPECT_EQ(MeasurementLogFile::FailureMessage(0, "/x/a.csv", "No space left on device"),
              "Die Log-Datei konnte nicht geschrieben werden:\n/x/a.csv\nNo space left on device");
    EXPECT_EQ(MeasurementLogFile::FailureMessage(10000, "/x/a.csv", ""),
              "The log file could not be written:\n/x/a.csv");
}
