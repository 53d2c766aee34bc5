// The graph's CSV log reader on any bytes, with small limits so that the
// caps are reached: never more columns or readings than allowed, every line
// in time order, a break never first or last nor two in a row.
#include "log/log_reader.h"
#include "fuzz_support.h"

#include <QBuffer>
#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    LogReadLimits limits;
    limits.maxColumns = 8;
    limits.maxLineBytes = 512;
    limits.maxReadings = 200;
    const NumericLog log = ReadLogNumbers(in, bytes.size(), limits);
    FUZZ_CHECK(!log.refusal && !log.cancelled);
    qint64 readings = 0;
    for (const NumericRecording& r : log.recordings) {
        FUZZ_CHECK(r.rows > 0);
        FUZZ_CHECK(r.columns.size() <= limits.maxColumns && r.columns.size() <= r.columnsInLog);
        FUZZ_CHECK(r.points.size() == r.columns.size() && r.hadText.size() == r.columns.size());
        for (const QList<QPointF>& points : r.points) {
            readings += points.size();
            for (qsizetype i = 0; i < points.size(); ++i) {
                const bool isBreak = std::isnan(points[i].y());
                FUZZ_CHECK(!isBreak ||
                           (i > 0 && i + 1 < points.size() && !std::isnan(points[i - 1].y())));
                FUZZ_CHECK(i == 0 || points[i - 1].x() <= points[i].x());
            }
        }
    }
    FUZZ_CHECK(readings <= limits.maxReadings + 1);
    return 0;
}
