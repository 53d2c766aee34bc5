#include "config/car_list.h"

#include <optional>

namespace {
std::optional<int> decimalNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    const QString rest = text.mid(i);
    qsizetype digits = 0;
    for (qsizetype k = 0; k < rest.size(); ++k) {
        const QChar c = rest[k];
        if ((c == u'+' || c == u'-') && k == 0)
            continue;
        if (c < u'0' || c > u'9' || k > 9)
            return std::nullopt;
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    return rest.toInt();
}
} // namespace

QList<CarEntry> ReadCarList(const IniFile& autoscan) {
    QList<CarEntry> cars;
    for (const QString& entry : autoscan.readSection(QStringLiteral("Carlist"))) {
        const QString line = entry.mid(entry.indexOf(QLatin1Char('=')) + 1);
        const qsizetype comma = line.indexOf(QLatin1Char(','));
        cars << CarEntry{comma < 0 ? QString() : line.left(comma), line.mid(comma + 1)};
    }
    return cars;
}

QList<int> CarAddresses(const QString& addressText) {
    QList<int> addresses;
    QString text = addressText + QLatin1Char(',');
    while (!text.isEmpty()) {
        const qsizetype comma = text.indexOf(QLatin1Char(','));
        const std::optional<int> address = decimalNumber(text.left(comma));
        if (!address)
            break;
        addresses << *address;
        text = text.mid(comma + 1);
    }
    return addresses;
}
