#include "log/log_reader.h"

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
