// Logs read back: written with the log's own file and cell formats, then
// read as the graph window reads them.
#include "log/log_format.h"
#include "log/log_reader.h"
#include "log/measurement_log_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Lines 1 to 5 of a header, as the window writes them.
void WriteHead(MeasurementLogFile& log, const QString& time) {
    log.writeLine(LogFormat::PairLine("Vandrix Version 1.41", "https://example.invalid"));
    log.writeLine(LogFormat::PairLine("12.03.2025", time));
    log.writeLine(LogFormat::PairLine("Steuergerät:", "001 [01] - Motor (ECU)"));
    log.writeLine(LogFormat::PairLine("VAG Geräte-Typnummer:", "036906034AM"));
    log.writeLine(QString());
}

LogFormat::GroupSlot Slot(const QString& group, std::array<QString, 4> names,
                          std::array<QString, 4> values) {
    return {group, names, values};
}

} // namespace

class LogReaderTest : public ::testing::Test {
protected:
    QString read() {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QString::fromLocal8Bit(f.readAll());
    }
    QTemporaryDir dir;
    QString path = dir.filePath("drive.csv");
    MeasurementLogFile log;
};

TEST_F(LogReaderTest, GroupAndRawRecordingsOfOneFileReadBack) {
    log.bind(path);
    const QChar comma(',');
    // A Group recording with ticked 1 and 3, the last row cut short by the
    // end of the recording.
    ASSERT_TRUE(log.open());
    WriteHead(log, "14:22:05");
    const QList<LogFormat::GroupSlot> ticked = {
        Slot("1", {"Drehzahl", "Kühlmittel", "Lambda", "Bits"},
             {"800 upm", "90,0 °C", "1,23ms", "A:000 B:027 "}),
        Slot("3", {"Drehzahl", "Luftmasse", "Drossel", "Zündung"},
             {"805 upm", "2,50 g/s", "3,0 Deg", "NA"})};
    log.writeLine("Meßwerte");
    log.writeCells(LogFormat::GroupTitleCells("Gruppe", ticked));
    log.endLine();
    log.writeCells(LogFormat::GroupColumnCells("Zeit", ticked));
    log.endLine();
    for (int row = 0; row < 2; ++row) {
        const int64_t t = 1000 * row;
        log.writeCells(LogFormat::GroupSlotCells(
            t + 5, t + 5, {"800 upm", "90,0 °C", "1,23ms", "A:000 B:027 "}, comma));
        log.writeCells(LogFormat::GroupSlotCells(
            t + 48, t + 30, {"1.205 upm", "2,50 g/s", "3,0 Deg", "NA"}, comma));
        log.endLine();
    }
    log.writeCells(LogFormat::GroupSlotCells(2005, 2005, {"1", "2", "3", "4"}, comma));
    log.close();
    // A raw data recording appended to the same file.
    ASSERT_TRUE(log.open());
    WriteHead(log, "14:30:00");
    log.writeLine("Rohdaten");
    log.writeCells(
        LogFormat::RawColumnCells("Zeit", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
    log.endLine();
    log.writeCells(LogFormat::RawRowCells(
        62004, {"007", "255", "0-1", "NA", "1", "2", "3", "4", "5", "6"}, comma));
    log.endLine();
    log.close();

    const QList<LogRecording> recs = ReadLogRecordings(read());
    ASSERT_EQ(recs.size(), 2);
    const LogRecording& group = recs[0];
    EXPECT_EQ(group.started, "12.03.2025 14:22:05");
    EXPECT_EQ(group.unitEntry, "001 [01] - Motor (ECU)");
    EXPECT_EQ(group.partNumber, "036906034AM");
    EXPECT_EQ(group.title, "Meßwerte");
    EXPECT_EQ(group.decimalSeparator, comma);
    ASSERT_EQ(group.columns.size(), 8);
    EXPECT_EQ(group.columns[0].group, "Gruppe 1");
    EXPECT_EQ(group.columns[1].name, "Kühlmittel");
    EXPECT_EQ(group.columns[1].unit, "°C");
    EXPECT_EQ(group.columns[2].unit, "1,23ms"); // a unit without blank: the whole text
    EXPECT_EQ(group.columns[3].unit, "");
    EXPECT_EQ(group.columns[5].group, "Gruppe 3");
    EXPECT_EQ(group.columns[5].name, "Luftmasse");
    EXPECT_EQ(group.columns[5].block, 1);
    ASSERT_EQ(group.rows.size(), 2); // the cut row holds only one slot
    EXPECT_EQ(group.rows[1].blockMs, QList<int64_t>({1005, 1048}));
    EXPECT_EQ(group.rows[1].values,
              QStringList({"800", "90,0", "", "A:000 B:027", "1.205", "2,50", "3,0", ""}));

    const LogRecording& raw = recs[1];
    EXPECT_EQ(raw.title, "Rohdaten");
    ASSERT_EQ(raw.columns.size(), 10);
    EXPECT_EQ(raw.columns[9].name, "10");
    EXPECT_EQ(raw.columns[9].group, "");
    ASSERT_EQ(raw.rows.size(), 1);
    EXPECT_EQ(raw.rows[0].blockMs, QList<int64_t>({62004}));
    EXPECT_EQ(raw.rows[0].values.mid(0, 4), QStringList({"007", "255", "0-1", "NA"}));
}

TEST_F(LogReaderTest, EnglishSettingsGiveThePointAsSeparator) {
    log.bind(path);
    ASSERT_TRUE(log.open());
    WriteHead(log, "2:22:05 PM");
    log.writeLine("Raw Data");
    log.writeCells(LogFormat::RawColumnCells("Time", {"a", "b"}));
    log.endLine();
    log.writeCells(LogFormat::RawRowCells(1500, {"001", "002"}, QLatin1Char('.')));
    log.endLine();
    log.close();
    const QList<LogRecording> recs = ReadLogRecordings(read());
    ASSERT_EQ(recs.size(), 1);
    EXPECT_EQ(recs[0].decimalSeparator, QLatin1Char('.'));
}

TEST(LogReader, OtherTextsHoldNoRecording) {
    EXPECT_TRUE(ReadLogRecordings("").isEmpty());
    EXPECT_TRUE(ReadLogRecordings("a;b;c\n1;2;3\n").isEmpty());
    // A header whose recording never got its columns.
    EXPECT_TRUE(ReadLogRecordings("Vandrix Version 1.41;x\r\n12.03.2025;14:22:05\r\n").isEmpty());
}

TEST(LogReader, CellsSplitAtSemicolonsOutsideQuotes) {
    EXPECT_EQ(SplitLogCells("a;b;"), QStringList({"a", "b"}));
    EXPECT_EQ(SplitLogCells("a;b"), QStringList({"a", "b"}));
    EXPECT_EQ(SplitLogCells(";;"), QStringList({"", ""}));
    EXPECT_EQ(SplitLogCells(""), QStringList());
    EXPECT_EQ(SplitLogCells("\"x;y\";\"say \"\"hi\"\"\";z;"),
              QStringList({"x;y", "say \"hi\"", "z"}));
}
