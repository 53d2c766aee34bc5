#pragma once
// Reads back CSV measurement logs of this program's own format: every
// recording in the file (one per header, appended recordings after their
// separator), its columns with names and units, and its rows as written.
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

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
