#include "cli/request_catalogue.h"

#include <QRegularExpression>

namespace {

// Longer than any request of the catalogue, short enough for any chip line.
constexpr qsizetype LongestRequest = 64;

} // namespace

QString NormalisedRequest(const QString& text) {
    QString s = text.toUpper();
    s.remove(QLatin1Char(' '));
    return s;
}

RequestKind ClassifyRequest(const QString& text) {
    if (text.isEmpty() || text.size() > LongestRequest)
        return RequestKind::Unsendable;
    for (const QChar ch : text)
        if (ch.unicode() < 0x21 || ch.unicode() > 0x7E)
            return RequestKind::Unsendable;
    if (text.startsWith(QLatin1String("AT")))
        return RequestKind::Interface;
    static const QRegularExpression hex(QStringLiteral("^([0-9A-F]{2})+$"));
    if (!hex.match(text).hasMatch())
        return RequestKind::Free;
    const QString service = text.left(2);
    const qsizetype rest = text.size() - 2;
    if ((service == u"08" || service == u"04" || service == u"09") && rest == 2)
        return RequestKind::Reads;
    if ((service == u"02" || service == u"15") && rest == 0)
        return RequestKind::Reads;
    if ((service == u"05" || service == u"03") && rest == 0)
        return RequestKind::Writes;
    if ((service == u"07" || service == u"11") && rest == 8)
        return RequestKind::Writes;
    if (service == u"10" && (rest == 2 || rest == 6)) {
        // Adaptation channels run to 99.
        if (text.mid(2, 2).toInt(nullptr, 16) > 99)
            return RequestKind::OutOfRange;
        return rest == 2 ? RequestKind::Reads : RequestKind::Writes;
    }
    return RequestKind::Free;
}
