// The graph's log reader against files a user may hand it: an endless device,
// a folder, a log with 200,000 columns, a log of 100 MB, and pauses in it.
#include "log/log_reader.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

const QByteArray Header = "Vandrix Version 1.41;x\r\n01.02.2024;10:00:00\r\nSteuergerät:;001\r\n"
                          "Typ:;036906034AM\r\n\r\nMeßwerte\r\n";

QByteArray columnLine(int values) {
    QByteArray line = "Zeit [ms];HH:MM:SS,ms;";
    for (int c = 0; c < values; ++c)
        line += "W" + QByteArray::number(c) + " [V];";
    return line + "\r\n";
}

} // namespace

TEST(LogNumbers, WhatIsNoLogFileIsRefusedAtOnce) {
    QTemporaryDir dir;
    EXPECT_EQ(ReadLogNumbers("/dev/zero").refusal.kind, FileRefusal::NotAFile);
    EXPECT_EQ(ReadLogNumbers(dir.path()).refusal.kind, FileRefusal::Folder);
    EXPECT_EQ(ReadLogNumbers(dir.filePath("none.csv")).refusal.kind, FileRefusal::Missing);
    QFile big(dir.filePath("big.csv"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(LogReadLimits{}.maxBytes + 1));
    big.close();
    EXPECT_EQ(ReadLogNumbers(big.fileName()).refusal.kind, FileRefusal::TooLarge);
}

TEST(LogNumbers, TwoHundredThousandColumnsAreCutToTheCap) {
    QTemporaryDir dir;
    QFile f(dir.filePath("wide.csv"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Header + columnLine(200000));
    QByteArray row = "0;0:0:0,000;";
    for (int c = 0; c < 200000; ++c)
        row += "1,5;";
    f.write(row + "\r\n");
    f.close();
    const NumericLog log = ReadLogNumbers(f.fileName());
    ASSERT_EQ(log.recordings.size(), 1);
    const NumericRecording& r = log.recordings[0];
    // The column line is read up to its length limit: more than the cap.
    EXPECT_EQ(r.columns.size(), LogReadLimits{}.maxColumns);
    EXPECT_GT(r.columnsInLog, LogReadLimits{}.maxColumns);
    EXPECT_EQ(r.points[0], QList<QPointF>({{0, 1.5}}));
}

TEST(LogNumbers, AHundredMegabyteLogIsReadWithinItsReadingsAndCanBeCancelled) {
    QTemporaryDir dir;
    QFile f(dir.filePath("long.csv"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Header + columnLine(4));
    QByteArray rows;
    qint64 n = 0;
    while (f.size() + rows.size() < 100 * 1000 * 1000) {
        rows += QByteArray::number(n * 40) + ";0:0:0,000;1,5;2,5;3,5;4,5;\r\n";
        if (rows.size() > (1 << 20)) {
            f.write(rows);
            rows.clear();
        }
        ++n;
    }
    f.write(rows);
    f.close();
    LogReadLimits limits;
    limits.maxReadings = 1'000'000;
    const NumericLog log = ReadLogNumbers(f.fileName(), limits);
    ASSERT_EQ(log.recordings.size(), 1);
    EXPECT_TRUE(log.rowsCut);
    qint64 readings = 0;
    for (const QList<QPointF>& points : log.recordings[0].points)
        readings += points.size();
    EXPECT_LE(readings, limits.maxReadings);

    int calls = 0;
    const NumericLog cancelled = ReadLogNumbers(f.fileName(), {}, [&](qint64 done, qint64 total) {
        EXPECT_LE(done, total);
        return ++calls < 3;
    });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_TRUE(cancelled.recordings.isEmpty());
    EXPECT_EQ(calls, 3);
}

TEST(LogNumbers, APauseBreaksTheLineAndTextIsNoNumber) {
    const QByteArray text = Header + columnLine(1) + "0;0:0:0,000;1,5;\r\n100;0:0:0,100;2;\r\n" +
                            "200;0:0:0,200;12:34;\r\n5000;0:0:5,000;-1.234,5;\r\n";
    QTemporaryDir dir;
    QFile f(dir.filePath("pause.csv"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    const NumericLog log = ReadLogNumbers(f.fileName());
    ASSERT_EQ(log.recordings.size(), 1);
    const QList<QPointF>& p = log.recordings[0].points[0];
    ASSERT_EQ(p.size(), 4);
    EXPECT_EQ(p[1], QPointF(0.1, 2));
    EXPECT_TRUE(std::isnan(p[2].y())); // 4.9 s without a reading
    EXPECT_EQ(p[3], QPointF(5, -1234.5));
    EXPECT_TRUE(log.recordings[0].hadText[0]);
}
