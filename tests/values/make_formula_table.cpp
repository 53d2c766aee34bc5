// Writes the table of every measured value text that the formula test
// compares against (layout: formula_table.h). Made once with the long double
// formulas on x86-64, whose texts are the reference:
//
//   build/tests/make_formula_table tests/values/formula_table.bin
#include "config/app_locale.h"
#include "formula_table.h"
#include "long_double_formulas.h"

#include <QFile>
#include <cfloat>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_formula_table FILE\n");
        return 2;
    }
    if (LDBL_MANT_DIG != 64) {
        std::fprintf(stderr,
                     "make_formula_table: the reference texts need x86's 80-bit long double\n");
        return 1;
    }
    AppLocale::set(QLocale(QLocale::English, QLocale::UnitedStates));
    FormulaTable::Writer writer;
    for (int type = FormulaTable::FirstType; type <= FormulaTable::LastType; ++type)
        for (int a = FormulaTable::FirstByte; a <= FormulaTable::LastByte; ++a)
            for (int b = FormulaTable::FirstByte; b <= FormulaTable::LastByte; ++b)
                writer.add(LongDouble::FormatMeasuredValue(type, a, b));
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(writer.file()) < 0 ||
        !out.flush()) {
        std::fprintf(stderr, "make_formula_table: %s: %s\n", argv[1],
                     qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
