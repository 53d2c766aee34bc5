// Every measured value text, compared with the texts the long double formulas
// showed on x86-64 (formula_table.bin): every formula type and the types next
// to the table, every pair of bytes and the -1 of an invalid byte.
#include "config/app_locale.h"
#include "formula_table.h"
#include "values/measured_value.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
QByteArray tableFile() {
    QFile file(QStringLiteral(VANDRIX_FORMULA_TABLE));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Type, a and b of the entry at `index`.
void entry(qsizetype index, int& type, int& a, int& b) {
    b = int(index % FormulaTable::Bytes) + FormulaTable::FirstByte;
    a = int(index / FormulaTable::Bytes % FormulaTable::Bytes) + FormulaTable::FirstByte;
    type = int(index / FormulaTable::Bytes / FormulaTable::Bytes) + FormulaTable::FirstType;
}

// The German text of an English one: the two separators change places. The
// character types show bytes, which may be either character.
QByteArray german(int type, QByteArray english) {
    if (type == 17 || type == 63)
        return english;
    for (char& c : english)
        c = c == '.' ? ',' : c == ',' ? '.' : c;
    return english;
}

// Compares every entry in the given settings; reports the first differences.
void compareAll(const QByteArray& file, bool inGerman) {
    AppLocale::set(inGerman ? QLocale(QLocale::German, QLocale::Germany)
                            : QLocale(QLocale::English, QLocale::UnitedStates));
    qsizetype differences = 0;
    const bool complete = FormulaTable::forEachText(file, [&](qsizetype i, const QByteArray& text) {
        int type, a, b;
        entry(i, type, a, b);
        const QByteArray expected = inGerman ? german(type, text) : text;
        const QByteArray shown = FormatMeasuredValue(type, a, b).toUtf8();
        if (shown != expected && ++differences <= 20)
            ADD_FAILURE() << "type " << type << " a " << a << " b " << b << ": \""
                          << shown.toStdString() << "\", expected \"" << expected.toStdString()
                          << "\"";
    });
    EXPECT_TRUE(complete) << "the table file is cut short or of another layout";
    EXPECT_EQ(differences, 0);
}

TEST(FormulaTable, EveryTextAsTheReferenceInEnglishSettings) {
    const QByteArray file = tableFile();
    ASSERT_FALSE(file.isEmpty()) << VANDRIX_FORMULA_TABLE;
    compareAll(file, false);
}

TEST(FormulaTable, EveryTextAsTheReferenceInGermanSettings) {
    const QByteArray file = tableFile();
    ASSERT_FALSE(file.isEmpty()) << VANDRIX_FORMULA_TABLE;
    compareAll(file, true);
}
} // namespace
