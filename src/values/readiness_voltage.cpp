#include "values/readiness_voltage.h"

#include "values/measured_value.h"

bool ReadinessBit(int byte, int n) {
    if (n < 0 || n > 7)
        return false;
    return (byte >> (7 - n)) & 1;
}

QString FormatInterfaceVoltage(int raw, double u2, double factor) {
    return FormatConverterReading(raw, u2, factor, 2) + QStringLiteral(" V");
}
