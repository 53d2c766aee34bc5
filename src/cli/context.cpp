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
    bool ok = false;
    int address = -1;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        address = t.mid(2).toInt(&ok, 16);
    } else if (!t.isEmpty() && t.size() <= 3 &&
               std::all_of(t.begin(), t.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        address = t.toInt(&ok, 10);
    }
    if (!ok || UnitEntry(address, lang).isEmpty())
        return std::nullopt;
    return address;
}
