#include "log/log_format.h"

namespace LogFormat {

namespace {
QString TimeHeading(const QString& timeWord) {
    return timeWord + QStringLiteral(" [ms]");
}
// Fixed, whatever the regional settings: it names the column, not a value.
const QString TimeFormatHeading = QStringLiteral("HH:MM:SS,ms");
} // namespace

QString SafeCell(const QString& text) {
    QString cell = text;
    for (QChar& c : cell) {
        if (c == u';')
            c = SeparatorSubstitute;
        else if (c == u'"')
            c = QuoteSubstitute;
        else if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                 c == QChar::ParagraphSeparator)
            c = ControlSubstitute;
    }
    return cell;
}

QString SeparatorLine() {
    return QString(SeparatorWidth, QLatin1Char('*'));
}

QString ValuePart(const QString& valueText) {
    const qsizetype blank = valueText.lastIndexOf(QLatin1Char(' '));
    return blank < 0 ? QString() : valueText.left(blank);
}

QString UnitPart(const QString& valueText) {
    return valueText.mid(valueText.lastIndexOf(QLatin1Char(' ')) + 1);
}

QString ElapsedTime(int64_t ms, QChar decimalSeparator) {
    // A negative span can only come from a clock that was reset; show it as 0.
    if (ms < 0)
        ms = 0;
    const int64_t hours = (ms / 3600000) % 24;
    const int64_t minutes = (ms / 60000) % 60;
    const int64_t seconds = (ms / 1000) % 60;
    return QStringLiteral("%1:%2:%3%4%5")
        .arg(hours)
        .arg(minutes)
        .arg(seconds)
        .arg(decimalSeparator)
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

QString WithoutAccelerator(const QString& caption) {
    QString text = caption;
    text.remove(QLatin1Char('&'));
    return text;
}

QString PairLine(const QString& first, const QString& second) {
    return SafeCell(first) + QLatin1Char(';') + SafeCell(second);
}

QString Cells(const QStringList& cells) {
    QString line;
    for (const QString& cell : cells)
        line += SafeCell(cell) + QLatin1Char(';');
    return line;
}

QStringList GroupTitleCells(const QString& groupWord, const QList<GroupSlot>& ticked) {
    QStringList cells;
    for (const GroupSlot& slot : ticked)
        for (int i = 0; i < 6; ++i)
            cells << groupWord + QLatin1Char(' ') + slot.groupText;
    return cells;
}

QStringList GroupColumnCells(const QString& timeWord, const QList<GroupSlot>& ticked) {
    QStringList cells;
    for (const GroupSlot& slot : ticked) {
        cells << TimeHeading(timeWord) << TimeFormatHeading;
        for (size_t f = 0; f < 4; ++f)
            cells << slot.names[f] + QStringLiteral(" [") + UnitPart(slot.valueTexts[f]) +
                         QLatin1Char(']');
    }
    return cells;
}

QStringList RawColumnCells(const QString& timeWord, const QStringList& byteNames) {
    return QStringList{TimeHeading(timeWord), TimeFormatHeading} + byteNames;
}

QStringList GroupSlotCells(int64_t elapsedMs, int64_t elapsedForTime,
                           const std::array<QString, 4>& valueTexts, QChar decimalSeparator) {
    QStringList cells{QString::number(elapsedMs), ElapsedTime(elapsedForTime, decimalSeparator)};
    for (const QString& text : valueTexts)
        cells << ValuePart(text);
    return cells;
}

QStringList RawRowCells(int64_t elapsedMs, const QStringList& shownBytes, QChar decimalSeparator) {
    return QStringList{QString::number(elapsedMs), ElapsedTime(elapsedMs, decimalSeparator)} +
           shownBytes;
}

} // namespace LogFormat
