// CSV cells and rows of the measurement log, built from what the unit sends
// (formula triplets, raw bytes as shown) and what label files name: every
// header and row has exactly its header's cells and one line end at its end.
// Input: the settings, the ticked Group slots with their names and triplets,
// then the raw page's byte names and shown texts.
#include "config/app_locale.h"
#include "fuzz_support.h"
#include "log/log_format.h"
#include "values/measured_value.h"

#include <array>

using namespace LogFormat;

namespace {
// The number of cells of one written line; aborts on a line that a
// spreadsheet would read as another shape.
qsizetype cellsOfLine(const QString& line) {
    FUZZ_CHECK(line.endsWith(QStringLiteral(";\r\n")));
    const QString body = line.chopped(2);
    FUZZ_CHECK(!body.contains(QLatin1Char('\r')) && !body.contains(QLatin1Char('\n')));
    FUZZ_CHECK(!body.contains(QLatin1Char('"')));
    for (QChar c : body)
        FUZZ_CHECK(c.category() != QChar::Other_Control);
    return body.count(QLatin1Char(';'));
}

QString line(const QStringList& cells) {
    return Cells(cells) + QStringLiteral("\r\n");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    AppLocale::set(in.byte() & 1 ? QLocale(QLocale::German, QLocale::Germany)
                                 : QLocale(QLocale::English, QLocale::UnitedStates));
    const QChar decimal = AppLocale::decimalSeparator();

    // Group page: one to four ticked slots.
    QList<GroupSlot> ticked;
    const int slotCount = in.inRange(1, 4);
    for (int k = 0; k < slotCount; ++k) {
        GroupSlot slot;
        slot.groupText = in.text(4);
        for (size_t f = 0; f < 4; ++f) {
            slot.names[f] = in.text(24);
            const int type = in.inRange(-1, 255);
            slot.valueTexts[f] =
                FormatMeasuredValue(type, in.inRange(-1, 255), in.inRange(-1, 255));
        }
        ticked << slot;
    }
    const qsizetype width = cellsOfLine(line(GroupTitleCells(QStringLiteral("Gruppe"), ticked)));
    FUZZ_CHECK(width == 6 * slotCount);
    FUZZ_CHECK(cellsOfLine(line(GroupColumnCells(QStringLiteral("Zeit"), ticked))) == width);
    QStringList row;
    const int64_t elapsed = in.inRange(0, 0x7FFFFFFF);
    for (const GroupSlot& slot : ticked)
        row += GroupSlotCells(elapsed, elapsed, slot.valueTexts, decimal);
    FUZZ_CHECK(cellsOfLine(line(row)) == width);

    // Header lines 1 to 4 join two texts from outside (the unit's part number).
    const QString pair = PairLine(in.text(40), in.text(40)) + QStringLiteral("\r\n");
    FUZZ_CHECK(pair.count(QLatin1Char(';')) == 1 && pair.count(QLatin1Char('\r')) == 1 &&
               pair.count(QLatin1Char('\n')) == 1);

    // Raw data page: ten names from the label file, ten shown values.
    QStringList names, shown;
    for (int i = 0; i < 10; ++i)
        names << in.text(16);
    for (int i = 0; i < 10; ++i)
        shown << in.text(4);
    const qsizetype rawWidth = cellsOfLine(line(RawColumnCells(QStringLiteral("Zeit"), names)));
    FUZZ_CHECK(rawWidth == 12);
    FUZZ_CHECK(cellsOfLine(line(RawRowCells(elapsed, shown, decimal))) == rawWidth);
    return 0;
}
