#include "services/hex_number.h"

#include <cstdint>
#include <optional>

namespace {

std::optional<uint32_t> parseHex(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    uint64_t value = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        int digit;
        if (u >= '0' && u <= '9')
            digit = u - '0';
        else if (u >= 'A' && u <= 'F')
            digit = u - 'A' + 10;
        else if (u >= 'a' && u <= 'f')
            digit = u - 'a' + 10;
        else
            return std::nullopt;
        value = value * 16 + uint64_t(digit);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return uint32_t(value);
}

} // namespace

EConvertError::EConvertError(const QString& message) : std::runtime_error(message.toStdString()) {}

EConvertError EConvertError::invalidInteger(const QString& text) {
    return EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

int HexToIntLenient(const QString& text) {
    const auto v = parseHex(text);
    return v ? int32_t(*v) : -1;
}

int HexToIntStrict(const QString& text) {
    const auto v = parseHex(text);
    if (!v)
        throw EConvertError::invalidInteger(QLatin1Char('$') + text);
    return int32_t(*v);
}

QString HexDigits(int value, int width) {
    return QString::number(uint32_t(value), 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

QString Chars(const QString& text, int from, int count) {
    return text.mid(from - 1, count);
}
