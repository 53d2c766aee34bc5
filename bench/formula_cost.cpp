// What the exact formulas cost against the long double ones they replaced:
// first the formula table test's work, every entry of formula_table.bin
// unpacked and compared in English settings; then every measured value text
// of formula types 1 to 70 (a and b 0 to 255) made by each, in nanoseconds
// per value, best of five rounds, with the slowest type. Goal: under 1 µs
// per value on x86-64, far below the 1 ms a character takes on the wire.
// Times are this thread's processor time, so other work on the machine
// inflates them less than it would the clock.
//
//   build/bench/bench_formula_cost
#include "config/app_locale.h"
#include "formula_table.h"
#include "long_double_formulas.h"
#include "values/measured_value.h"

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {
constexpr int FirstType = 1;
constexpr int LastType = 70;
constexpr int Rounds = 5;
constexpr double PairsPerType = 256.0 * 256.0;

using Format = QString (*)(int, int, int);

qint64 threadNanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Nanoseconds per value of one type, best of the rounds.
double nsPerValue(Format format, int type) {
    double best = 1e300;
    for (int round = 0; round < Rounds; ++round) {
        qsizetype length = 0;
        const qint64 start = threadNanoseconds();
        for (int a = 0; a <= 255; ++a)
            for (int b = 0; b <= 255; ++b)
                length += format(type, a, b).size();
        best = std::min(best, double(threadNanoseconds() - start) / PairsPerType);
        if (length == 0) // keeps the texts from being optimised away
            std::abort();
    }
    return best;
}

struct Cost {
    double mean = 0;
    double slowest = 0;
    int slowestType = 0;
};

Cost cost(Format format) {
    Cost c;
    for (int type = FirstType; type <= LastType; ++type) {
        const double ns = nsPerValue(format, type);
        c.mean += ns / (LastType - FirstType + 1);
        if (ns > c.slowest) {
            c.slowest = ns;
            c.slowestType = type;
        }
    }
    return c;
}
} // namespace

int main() {
    AppLocale::set(QLocale(QLocale::English, QLocale::UnitedStates));

    QFile file(QStringLiteral(VANDRIX_FORMULA_TABLE));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: %s\n", VANDRIX_FORMULA_TABLE, qPrintable(file.errorString()));
        return 1;
    }
    const qint64 start = threadNanoseconds();
    const QByteArray data = file.readAll();
    qsizetype differences = 0;
    const bool complete = FormulaTable::forEachText(data, [&](qsizetype i, const QByteArray& text) {
        const int b = int(i % FormulaTable::Bytes) + FormulaTable::FirstByte;
        const int a = int(i / FormulaTable::Bytes % FormulaTable::Bytes) + FormulaTable::FirstByte;
        const int type =
            int(i / FormulaTable::Bytes / FormulaTable::Bytes) + FormulaTable::FirstType;
        if (FormatMeasuredValue(type, a, b).toUtf8() != text)
            ++differences;
    });
    const double seconds = double(threadNanoseconds() - start) / 1e9;
    std::printf("formula table, %lld entries read and compared: %.2f s (%.0f ns per entry), "
                "%lld differences%s\n",
                static_cast<long long>(FormulaTable::Entries), seconds,
                seconds * 1e9 / double(FormulaTable::Entries), static_cast<long long>(differences),
                complete ? "" : ", file incomplete");

    const Cost exact = cost(&FormatMeasuredValue);
    const Cost old = cost(&LongDouble::FormatMeasuredValue);
    std::printf("per value, types %d..%d, every a and b, best of %d rounds:\n", FirstType, LastType,
                Rounds);
    std::printf("  exact integers: %6.0f ns mean, %6.0f ns slowest (type %d)\n", exact.mean,
                exact.slowest, exact.slowestType);
    std::printf("  long double:    %6.0f ns mean, %6.0f ns slowest (type %d)\n", old.mean,
                old.slowest, old.slowestType);
    std::printf("exact: %.0f ns per value, %.0f ns at most (target < 1000 ns); %.2f times the "
                "long double time\n",
                exact.mean, exact.slowest, exact.mean / old.mean);
    return complete && differences == 0 ? 0 : 1;
}
