#include "graph/graph_export.h"

#include "graph/graph_model.h"
#include "log/log_format.h"

#include <algorithm>
#include <cmath>
#include <vector>

QString ReadingCell(double value, QChar decimalSeparator) {
    QString text = QString::number(value, 'f', 6);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    text.replace(QLatin1Char('.'), decimalSeparator);
    return text;
}

QStringList ReadingsLogLines(const GraphModel& model, double t0, double t1,
                             const ReadingsExport& what) {
    QStringList lines = LogFormat::HeaderLines(what.header);
    lines << LogFormat::SafeCell(what.title);

    struct Reading {
        int64_t ms;
        int column;
        double value;
    };
    std::vector<Reading> readings;
    QStringList groups{QString(), QString()};
    QStringList columns{what.timeWord + QStringLiteral(" [ms]"), QStringLiteral("HH:MM:SS,ms")};
    const QList<GraphModel::Series>& all = model.series();
    int column = 0;
    for (const GraphModel::Series& s : all) {
        if (!s.visible)
            continue;
        groups << s.group;
        // Always with brackets: a name that itself ends in "[...]" keeps it.
        columns << s.name + QStringLiteral(" [") + s.unit + QLatin1Char(']');
        auto p = std::lower_bound(s.points.begin(), s.points.end(), t0,
                                  [](const QPointF& q, double t) { return q.x() < t; });
        for (; p != s.points.end() && p->x() <= t1; ++p)
            if (!std::isnan(p->y()))
                readings.push_back({std::llround(p->x() * 1000), column, p->y()});
        ++column;
    }
    if (std::any_of(groups.begin(), groups.end(), [](const QString& g) { return !g.isEmpty(); }))
        lines << LogFormat::Cells(groups);
    lines << LogFormat::Cells(columns);

    std::stable_sort(readings.begin(), readings.end(),
                     [](const Reading& a, const Reading& b) { return a.ms < b.ms; });
    QStringList cells;
    std::vector<bool> filled;
    int64_t rowMs = 0;
    const auto flush = [&] {
        if (cells.isEmpty())
            return;
        lines << cells.join(QLatin1Char(';')) + QLatin1Char(';');
        cells.clear();
    };
    for (const Reading& r : readings) {
        // A new row at each moment, and where one line has two readings
        // within the same millisecond.
        if (cells.isEmpty() || r.ms != rowMs || filled[size_t(r.column)]) {
            flush();
            rowMs = r.ms;
            cells << QString::number(r.ms) << LogFormat::ElapsedTime(r.ms, what.decimalSeparator);
            for (int c = 0; c < column; ++c)
                cells << QString();
            filled.assign(size_t(column), false);
        }
        cells[2 + r.column] = ReadingCell(r.value, what.decimalSeparator);
        filled[size_t(r.column)] = true;
    }
    flush();
    return lines;
}
