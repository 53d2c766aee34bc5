#include "log/log_reader.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// The second time column's title, the same in every language.
const QString TimeColumnTitle = QStringLiteral("HH:MM:SS,ms");

bool IsHeaderStart(const QString& line) {
    return line.startsWith(QLatin1String("Vandrix ")) && line.contains(QLatin1Char(';'));
}

// "Drehzahl [upm]" -> Drehzahl, upm. Raw byte names have no unit part.
void SplitNameAndUnit(const QString& cell, QString& name, QString& unit) {
    const qsizetype open = cell.lastIndexOf(QLatin1String(" ["));
    if (open >= 0 && cell.endsWith(QLatin1Char(']'))) {
        name = cell.left(open);
        unit = cell.mid(open + 2, cell.size() - open - 3);
    } else {
        name = cell;
        unit.clear();
    }
}

// "0:1:2,004" -> ','; the writer put its decimal separator before the
// three digits of the milliseconds.
QChar SeparatorOfTime(const QString& cell) {
    if (cell.size() >= 5 && cell.at(cell.size() - 4) != QLatin1Char(':'))
        return cell.at(cell.size() - 4);
    return QLatin1Char('.');
}

bool ParseMs(const QString& cell, int64_t& ms) {
    bool ok = false;
    ms = cell.toLongLong(&ok);
    return ok;
}

struct Block {
    int msColumn = 0;
    int firstValue = 0;
    int endValue = 0; // one past the last value column
};

} // namespace

QStringList SplitLogCells(const QString& line) {
    QStringList cells;
    QString cell;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        any = true;
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                    cell += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cell += c;
            }
        } else if (c == QLatin1Char('"') && cell.isEmpty()) {
            quoted = true;
        } else if (c == QLatin1Char(';')) {
            cells << cell;
            cell.clear();
            any = false;
        } else {
            cell += c;
        }
    }
    // The ";" after the last cell is a terminator, not the start of another.
    if (any)
        cells << cell;
    return cells;
}

QList<LogRecording> ReadLogRecordings(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);

    QList<LogRecording> recordings;
    qsizetype i = 0;
    while (i < lines.size()) {
        if (!IsHeaderStart(lines[i])) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        LogRecording rec;
        auto secondCell = [&](qsizetype at) {
            const QStringList cells = at < lines.size() ? SplitLogCells(lines[at]) : QStringList();
            return cells.size() > 1 ? cells[1] : QString();
        };
        if (start + 1 < lines.size())
            rec.started = SplitLogCells(lines[start + 1]).join(QLatin1Char(' '));
        rec.unitEntry = secondCell(start + 2);
        rec.partNumber = secondCell(start + 3);

        // The column line: the first whose second cell is the time title.
        qsizetype columnsAt = -1;
        for (qsizetype j = start + 1; j < lines.size() && j <= start + 9; ++j) {
            if (IsHeaderStart(lines[j]))
                break;
            const QStringList cells = SplitLogCells(lines[j]);
            if (cells.size() > 1 && cells[1] == TimeColumnTitle) {
                columnsAt = j;
                break;
            }
        }
        if (columnsAt < 0) {
            i = start + 1;
            continue;
        }
        if (start + 5 < columnsAt)
            rec.title = lines[start + 5];
        const QStringList columnCells = SplitLogCells(lines[columnsAt]);
        const QStringList groupCells =
            columnsAt - 1 > start + 5 ? SplitLogCells(lines[columnsAt - 1]) : QStringList();

        QList<Block> blocks;
        for (int c = 0; c + 1 < columnCells.size(); ++c) {
            if (columnCells[c + 1] != TimeColumnTitle)
                continue;
            if (!blocks.isEmpty())
                blocks.last().endValue = c;
            blocks.append({c, c + 2, int(columnCells.size())});
            ++c;
        }
        for (int b = 0; b < blocks.size(); ++b) {
            for (int c = blocks[b].firstValue; c < blocks[b].endValue; ++c) {
                LogColumn column;
                column.block = b;
                column.group = c < groupCells.size() ? groupCells[c] : QString();
                SplitNameAndUnit(columnCells[c], column.name, column.unit);
                rec.columns << column;
            }
        }

        bool separatorKnown = false;
        i = columnsAt + 1;
        for (; i < lines.size() && !IsHeaderStart(lines[i]); ++i) {
            const QStringList cells = SplitLogCells(lines[i]);
            LogRecording::Row row;
            bool ok = !cells.isEmpty();
            for (const Block& block : blocks) {
                int64_t ms = 0;
                if (block.msColumn >= cells.size() || !ParseMs(cells[block.msColumn], ms)) {
                    ok = false;
                    break;
                }
                if (!separatorKnown && block.msColumn + 1 < cells.size()) {
                    rec.decimalSeparator = SeparatorOfTime(cells[block.msColumn + 1]);
                    separatorKnown = true;
                }
                row.blockMs << ms;
                for (int c = block.firstValue; c < block.endValue; ++c)
                    row.values << (c < cells.size() ? cells[c] : QString());
            }
            // Separator lines, empty lines and a last row cut short by a
            // stopped recording are no rows.
            if (ok)
                rec.rows << row;
        }
        recordings << rec;
    }
    return recordings;
}

namespace {

// A cell of a row as a number: sign, digits with the other separator between
// thousands, the writer's decimal separator and digits. A unit may follow
// after a blank or directly as letters ("12 ms", "5%"); anything else
// (a colon, a slash) makes the cell text.
enum class CellKind { Missing, Text, Number };

CellKind ParseCell(const char* p, const char* end, char decimal, double& value) {
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    while (end > p && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r'))
        --end;
    if (p == end || (end - p >= 2 && p[0] == 'N' && p[1] == 'A' && (end - p == 2 || p[2] == ' ')))
        return CellKind::Missing;
    const char thousands = decimal == ',' ? '.' : ',';
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    double number = 0;
    int digits = 0;
    while (p < end) {
        if (*p >= '0' && *p <= '9') {
            number = number * 10 + (*p - '0');
            ++digits;
            ++p;
        } else if (digits > 0 && *p == thousands && p + 1 < end && p[1] >= '0' && p[1] <= '9') {
            ++p;
        } else {
            break;
        }
    }
    if (digits > 0 && p + 1 < end && *p == decimal && p[1] >= '0' && p[1] <= '9') {
        ++p;
        double scale = 0.1;
        while (p < end && *p >= '0' && *p <= '9') {
            number += (*p - '0') * scale;
            scale /= 10;
            ++p;
        }
    }
    if (digits == 0)
        return CellKind::Text;
    if (p < end) {
        const auto c = static_cast<unsigned char>(*p);
        const bool unitStarts = c == ' ' || c == '%' || c == '\\' || c >= 0x80 ||
                                (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!unitStarts)
            return CellKind::Text;
    }
    value = negative ? -number : number;
    return CellKind::Number;
}

bool ParseMsBytes(const char* p, const char* end, int64_t& ms) {
    while (p < end && *p == ' ')
        ++p;
    if (p == end || end - p > 18)
        return false;
    int64_t v = 0;
    for (; p < end; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        v = v * 10 + (*p - '0');
    }
    ms = v;
    return true;
}

class NumericReader {
public:
    NumericReader(const LogReadLimits& limits, NumericLog& out) : m_limits(limits), m_out(out) {}

    // One line without its line end; false once no more is wanted.
    bool line(const char* p, const char* end) {
        if (end > p && end[-1] == '\r')
            --end;
        const bool headerStart = end - p >= 8 && std::memcmp(p, "Vandrix ", 8) == 0 &&
                                 std::memchr(p, ';', size_t(end - p));
        if (headerStart) {
            finish();
            m_pending = {QString::fromLocal8Bit(p, end - p)};
            m_inRows = false;
            return true;
        }
        if (m_inRows)
            return row(p, end);
        if (m_pending.isEmpty())
            return true;
        const QString text = QString::fromLocal8Bit(p, end - p);
        m_pending << text;
        const QStringList cells = SplitLogCells(text);
        if (cells.size() > 1 && cells[1] == TimeColumnTitle)
            startRows(cells);
        else if (m_pending.size() > 10)
            m_pending.clear();
        return true;
    }

    void finish() {
        if (m_inRows && m_rec.rows > 0)
            m_out.recordings << std::move(m_rec);
        m_rec = NumericRecording();
        m_inRows = false;
        m_pending.clear();
    }

private:
    void startRows(const QStringList& columnCells) {
        m_rec = NumericRecording();
        auto secondCell = [&](qsizetype at) {
            const QStringList cells =
                at < m_pending.size() ? SplitLogCells(m_pending[at]) : QStringList();
            return cells.size() > 1 ? cells[1] : QString();
        };
        const qsizetype columnsAt = m_pending.size() - 1;
        if (m_pending.size() > 1)
            m_rec.started = SplitLogCells(m_pending[1]).join(QLatin1Char(' '));
        m_rec.unitEntry = secondCell(2);
        m_rec.partNumber = secondCell(3);
        if (5 < columnsAt)
            m_rec.title = m_pending[5];
        const QStringList groupCells =
            columnsAt - 1 > 5 ? SplitLogCells(m_pending[columnsAt - 1]) : QStringList();

        m_blocks.clear();
        for (int c = 0; c + 1 < columnCells.size(); ++c) {
            if (columnCells[c + 1] != TimeColumnTitle)
                continue;
            if (!m_blocks.isEmpty())
                m_blocks.last().endValue = c;
            m_blocks.append({c, c + 2, int(columnCells.size())});
            ++c;
        }
        m_columnOfCell.clear();
        for (int b = 0; b < m_blocks.size(); ++b) {
            for (int c = m_blocks[b].firstValue; c < m_blocks[b].endValue; ++c) {
                ++m_rec.columnsInLog;
                if (m_rec.columns.size() >= m_limits.maxColumns)
                    continue;
                LogColumn column;
                column.block = b;
                column.group = c < groupCells.size() ? groupCells[c] : QString();
                SplitNameAndUnit(columnCells[c], column.name, column.unit);
                m_columnOfCell.push_back({c, int(m_rec.columns.size())});
                m_rec.columns << column;
            }
        }
        const qsizetype n = m_rec.columns.size();
        m_rec.points.resize(n);
        m_rec.hadText.fill(false, n);
        m_rec.textLastSeen.fill(0, n);
        m_lastInterval.fill(0, n);
        m_separatorKnown = false;
        m_decimal = '.';
        m_pending.clear();
        m_inRows = true;
        m_bytesAtStart = m_done;
    }

    bool row(const char* p, const char* end) {
        // Cells: ";" ends each. A row with quotes is rare enough for the
        // general splitter.
        m_cells.clear();
        if (std::memchr(p, '"', size_t(end - p))) {
            m_quoted = SplitLogCells(QString::fromLocal8Bit(p, end - p));
            m_quotedBytes.clear();
            for (const QString& cell : m_quoted)
                m_quotedBytes << cell.toLocal8Bit();
            for (const QByteArray& cell : m_quotedBytes)
                m_cells.push_back({cell.constData(), cell.constData() + cell.size()});
        } else {
            const char* cell = p;
            for (const char* q = p; q < end; ++q)
                if (*q == ';') {
                    m_cells.push_back({cell, q});
                    cell = q + 1;
                }
            if (cell < end)
                m_cells.push_back({cell, end});
        }
        if (m_cells.empty() || m_blocks.isEmpty())
            return true;
        m_blockMs.clear();
        for (const Block& block : m_blocks) {
            int64_t ms = 0;
            if (size_t(block.msColumn) >= m_cells.size() ||
                !ParseMsBytes(m_cells[size_t(block.msColumn)].first,
                              m_cells[size_t(block.msColumn)].second, ms))
                return true; // separator, empty line, a row cut short: no row
            if (!m_separatorKnown && size_t(block.msColumn) + 1 < m_cells.size()) {
                const auto& [b, e] = m_cells[size_t(block.msColumn) + 1];
                if (e - b >= 5 && e[-4] != ':')
                    m_decimal = e[-4];
                m_rec.decimalSeparator = QLatin1Char(m_decimal);
                m_separatorKnown = true;
            }
            m_blockMs << ms;
        }
        ++m_rec.rows;
        if (m_rec.rows == 1000)
            reserveForTheRest();
        for (const auto& [cell, column] : m_columnOfCell) {
            if (size_t(cell) >= m_cells.size())
                continue;
            const double t = double(m_blockMs[m_rec.columns[column].block]) / 1000.0;
            double value = 0;
            switch (ParseCell(m_cells[size_t(cell)].first, m_cells[size_t(cell)].second, m_decimal,
                              value)) {
            case CellKind::Missing:
                break;
            case CellKind::Text:
                m_rec.hadText[column] = true;
                m_rec.textLastSeen[column] = t;
                break;
            case CellKind::Number:
                if (!add(column, t, value))
                    return false;
                break;
            }
        }
        return true;
    }

    // Growing a list by doubling would hold up to twice the readings: from
    // the first thousand rows on the rest of the file is estimated instead.
    void reserveForTheRest() {
        const qint64 perRow = std::max<qint64>(1, (m_done - m_bytesAtStart) / 1000);
        const qint64 rows = 1000 + std::max<qint64>(0, m_total - m_done) / perRow;
        const qint64 cap = m_limits.maxReadings / std::max<qsizetype>(1, m_rec.columns.size());
        for (QList<QPointF>& points : m_rec.points)
            points.reserve(qsizetype(std::min(cap, rows + rows / 16 + 64)));
    }

public:
    // Where the reader is in the file, for the estimate above.
    void setPosition(qint64 done, qint64 total) {
        m_done = done;
        m_total = total;
    }

private:
    bool add(int column, double t, double value) {
        QList<QPointF>& points = m_rec.points[column];
        if (!points.isEmpty()) {
            const double last = points.last().x();
            if (t < last)
                return true; // would fold the line back
            const double gap = t - last;
            if (gap > std::max(LogBreakSeconds, 4 * m_lastInterval[column])) {
                points.append(QPointF(last, std::numeric_limits<double>::quiet_NaN()));
                ++m_readings;
            } else {
                m_lastInterval[column] = gap;
            }
        }
        if (++m_readings > m_limits.maxReadings) {
            m_out.rowsCut = true;
            return false;
        }
        points.append(QPointF(t, value));
        return true;
    }

    const LogReadLimits& m_limits;
    NumericLog& m_out;
    QStringList m_pending; // header lines since the last header start
    bool m_inRows = false;
    NumericRecording m_rec;
    QList<Block> m_blocks;
    std::vector<std::pair<int, int>> m_columnOfCell; // (cell index, column) of the columns kept
    qint64 m_total = 0;
    qint64 m_done = 0;
    qint64 m_bytesAtStart = 0;
    QList<double> m_lastInterval;
    bool m_separatorKnown = false;
    char m_decimal = '.';
    qint64 m_readings = 0;
    std::vector<std::pair<const char*, const char*>> m_cells;
    QStringList m_quoted;
    QList<QByteArray> m_quotedBytes;
    QList<int64_t> m_blockMs;
};

} // namespace

NumericLog ReadLogNumbers(QIODevice& in, qint64 total, const LogReadLimits& limits,
                          const LogProgress& progress) {
    NumericLog out;
    NumericReader reader(limits, out);
    constexpr qint64 Chunk = 1 << 20;
    QByteArray buffer;
    QByteArray line; // a line that runs over the end of a chunk
    bool lineCut = false;
    qint64 done = 0;
    bool more = true;
    while (more) {
        buffer.resize(Chunk);
        const qint64 got = in.read(buffer.data(), Chunk);
        if (got <= 0)
            break;
        done += got;
        if (done > limits.maxBytes) {
            out.refusal.kind = FileRefusal::TooLarge;
            out.refusal.limit = limits.maxBytes;
            out.recordings.clear();
            return out;
        }
        const char* p = buffer.constData();
        const char* end = p + got;
        while (more && p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            const char* stop = nl ? nl : end;
            // A line is kept up to its length limit; the rest is skipped.
            const qsizetype room = limits.maxLineBytes - line.size();
            if (room > 0)
                line.append(p, std::min<qsizetype>(room, stop - p));
            lineCut = lineCut || stop - p > room;
            if (nl) {
                reader.setPosition(done - (end - nl), total);
                more = reader.line(line.constData(), line.constData() + line.size());
                line.clear();
                lineCut = false;
            }
            p = nl ? nl + 1 : end;
        }
        if (progress && !progress(done, total)) {
            out.cancelled = true;
            out.recordings.clear();
            return out;
        }
    }
    if (more && !line.isEmpty())
        reader.line(line.constData(), line.constData() + line.size());
    reader.finish();
    return out;
}

NumericLog ReadLogNumbers(const QString& path, const LogReadLimits& limits,
                          const LogProgress& progress) {
    NumericLog out;
    out.refusal.path = path;
    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir()) {
        out.refusal.kind = FileRefusal::Folder;
        return out;
    }
    if (info.exists() && !info.isFile()) {
        // A device or a pipe has no end to show progress against.
        out.refusal.kind = FileRefusal::NotAFile;
        return out;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        out.refusal.kind = info.exists() ? FileRefusal::Unreadable : FileRefusal::Missing;
        out.refusal.reason = file.errorString();
        return out;
    }
    if (file.size() > limits.maxBytes) {
        out.refusal.kind = FileRefusal::TooLarge;
        out.refusal.limit = limits.maxBytes;
        return out;
    }
    out = ReadLogNumbers(file, file.size(), limits, progress);
    out.refusal.path = path;
    return out;
}
