#pragma once
// Reads back CSV measurement logs of this program's own format: every
// recording in the file (one per header, appended recordings after their
// separator), its columns with names and units, and its rows as written.
#include "config/bounded_file.h"

#include <QChar>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class QIODevice;

struct LogColumn {
    QString group; // "Gruppe 3" on the Group page; empty for raw data
    QString name;  // "Motordrehzahl"
    QString unit;  // "upm"; empty when the column has none
    int block = 0; // which time columns time this one (one block per slot)
};

struct LogRecording {
    QString started;    // date and time of the header, as written
    QString unitEntry;  // the control unit entry, "001 [01] - Motor (ECU)"
    QString partNumber; // the unit's part number
    QString title;      // the page title, "Meßwerte" or "Rohdaten"
    QList<LogColumn> columns;
    // The writer's decimal separator, taken from the first row's time cell.
    QChar decimalSeparator = QLatin1Char('.');
    struct Row {
        QList<int64_t> blockMs; // elapsed milliseconds of each block
        QStringList values;     // one per column, the number part as written
    };
    QList<Row> rows;
};

// One log line's cells: ";" separates, every cell ends with one; a cell in
// double quotes may hold ";" and doubled quotes.
QStringList SplitLogCells(const QString& line);

// Every recording of a log file's text, in file order. Lines that fit no
// recording are skipped; a text of another kind gives none.
QList<LogRecording> ReadLogRecordings(const QString& text);

// How much of a log the graph takes: a six-hour log at full rate has half a
// million rows of at most 16 values (about 80 MB). Lines longer than
// maxLineBytes are read up to that length only.
struct LogReadLimits {
    qint64 maxBytes = qint64(1) << 30;
    int maxColumns = 256;
    qsizetype maxLineBytes = 64 * 1024;
    qint64 maxReadings = 12'000'000; // values kept over all columns, 16 bytes each
};

// A recording read as numbers: one line of (seconds, value) per column. A
// point with a NaN value marks a break: the rows on either side of it are
// further apart than the polling ever is, so no line joins them.
struct NumericRecording {
    QString started;
    QString unitEntry;
    QString partNumber;
    QString title;
    QList<LogColumn> columns; // at most LogReadLimits::maxColumns
    int columnsInLog = 0;     // before that cap
    QChar decimalSeparator = QLatin1Char('.');
    QList<QList<QPointF>> points;
    QList<bool> hadText;        // a column showed text ("12:34") at least once
    QList<double> textLastSeen; // its last such row, in seconds
    qint64 rows = 0;
};

struct NumericLog {
    QList<NumericRecording> recordings; // those with at least one row
    FileRefusal refusal;
    bool cancelled = false;
    bool rowsCut = false; // maxReadings was reached; the rows after are not read
};

// Seconds without a reading after which a line breaks, at the least; a line
// polled slowly breaks only after four of its own intervals.
inline constexpr double LogBreakSeconds = 2.0;

// progress(bytesRead, bytesTotal) is called about every megabyte; false
// cancels the read.
using LogProgress = std::function<bool(qint64 done, qint64 total)>;
NumericLog ReadLogNumbers(QIODevice& in, qint64 total, const LogReadLimits& limits = {},
                          const LogProgress& progress = {});
NumericLog ReadLogNumbers(const QString& path, const LogReadLimits& limits = {},
                          const LogProgress& progress = {});
