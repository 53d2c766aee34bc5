#pragma once
// The readings a graph shows, written as a recording of the program's own
// CSV log: the graph window opens it again, a spreadsheet reads it as any
// other log.
#include "log/log_header.h"

#include <QChar>
#include <QString>
#include <QStringList>

class GraphModel;

struct ReadingsExport {
    LogFormat::HeaderInfo header;
    QString title;    // the line after the header: the page the readings come from
    QString timeWord; // "Zeit"
    QChar decimalSeparator = QLatin1Char(',');
};

// The lines of one recording (without line ends): the header, the group line
// when a line has a group, the column line, and one row for each moment in
// [t0, t1] at which a shown line has a reading; a line without a reading at
// that moment leaves its cell empty. Times stay those of the graph, so the
// file opens on the same axis.
QStringList ReadingsLogLines(const GraphModel& model, double t0, double t1,
                             const ReadingsExport& what);

// A number as a log cell: at most six decimals, no thousands separator, no
// exponent (a reader takes "1e+06" for 1 with the unit "e+06").
QString ReadingCell(double value, QChar decimalSeparator);
