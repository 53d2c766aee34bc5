#include "cli/context.h"

#include "config/strings.h"

#include <algorithm>

namespace {
constexpr int FirstUnitId = 1001;
constexpr int LastUnitId = 1094;
} // namespace

QString CliContext::text(int id) const {
    return LoadStr(id + lang);
}

QList<int> ListAddresses() {
    QList<int> addresses;
    for (int id = FirstUnitId; id <= LastUnitId; ++id)
        addresses << LoadStr(id).left(3).toInt();
    return addresses;
}

QString UnitEntry(int address, int lang) {
    for (int id = FirstUnitId; id <= LastUnitId; ++id) {
        const QString entry = LoadStr(id + lang);
        if (entry.left(3).toInt() == address)
            return entry;
    }
    return QString();
}

std::optional<int> ParseAddress(const QString& text, int lang) {
    const QString t = text.trimmed();
    const auto digitsOf = [](const QString& s, int base) {
        return !s.isEmpty() && s.size() <= 3 && std::all_of(s.begin(), s.end(), [base](QChar c) {
            const char16_t u = c.unicode();
            return (u >= u'0' && u <= u'9') ||
                   (base == 16 && ((u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')));
        });
    };
    bool ok = false;
    int address = -1;
    // Bare and with "0x" the hexadecimal address of the brackets, as workshops
    // write it; after "#" the decimal number the list entry begins with.
    if (t.startsWith(u'#')) {
        if (digitsOf(t.mid(1), 10))
            address = t.mid(1).toInt(&ok, 10);
    } else {
        const QString hex = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? t.mid(2) : t;
        if (digitsOf(hex, 16))
            address = hex.toInt(&ok, 16);
    }
    if (!ok || UnitEntry(address, lang).isEmpty())
        return std::nullopt;
    return address;
}
