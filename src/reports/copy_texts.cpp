#include "reports/copy_texts.h"

namespace {
const QString Tab = QStringLiteral("\t");
const QString LineEnd = QStringLiteral("\r\n");

void slotLines(const GroupSlotTexts& slot, QList<QStringList>& lines) {
    QStringList names{slot.number};
    QStringList values{QString()};
    for (int f = 0; f < 4; ++f) {
        names << slot.names[size_t(f)];
        values << slot.values[size_t(f)];
    }
    lines << names << values;
}
} // namespace

QString ClipboardLines(const QList<QStringList>& lines) {
    QString text;
    for (const QStringList& fields : lines)
        text += fields.join(Tab) + LineEnd;
    return text;
}

QString InfoPageCopy(const std::array<CaptionValue, 6>& rows) {
    QList<QStringList> lines;
    for (const auto& [caption, value] : rows) {
        // The component text keeps the CR its last line came with; pasted,
        // it would split the row.
        QString shown = value;
        while (shown.endsWith(QLatin1Char('\r')) || shown.endsWith(QLatin1Char('\n')))
            shown.chop(1);
        lines << QStringList{caption, shown};
    }
    return ClipboardLines(lines);
}

QString GroupPageCopy(const std::array<GroupSlotTexts, 4>& groups) {
    QList<QStringList> lines;
    for (const GroupSlotTexts& slot : groups)
        slotLines(slot, lines);
    return ClipboardLines(lines);
}

QString RawPageCopy(const std::array<CaptionValue, 10>& rows) {
    QList<QStringList> lines;
    for (const auto& [caption, value] : rows)
        lines << QStringList{caption, value};
    return ClipboardLines(lines);
}

QString FaultCodePageCopy(const FaultGridRows& rows) {
    QString text;
    for (const auto& row : rows) {
        for (const QString& cell : row)
            text += QString(cell).replace(LineEnd, QStringLiteral(" ")) + Tab;
        text += LineEnd;
    }
    return text;
}

QString BasicSettingsGroupCopy(const GroupSlotTexts& group) {
    QList<QStringList> lines;
    slotLines(group, lines);
    return ClipboardLines(lines);
}

QString BasicSettingsRawCopy(const std::array<QString, 10>& values) {
    QList<QStringList> lines;
    for (const QString& value : values)
        lines << QStringList{value};
    return ClipboardLines(lines);
}
