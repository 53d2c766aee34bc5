#include "services/identification.h"

#include <optional>

namespace {

const QChar CR(u'\r');

bool isBlankOrControl(QChar c) {
    return c.unicode() <= u' ';
}

QString trimRight(const QString& s) {
    qsizetype end = s.size();
    while (end > 0 && isBlankOrControl(s[end - 1]))
        --end;
    return s.left(end);
}

QString trimBoth(const QString& s) {
    const QString right = trimRight(s);
    qsizetype start = 0;
    while (start < right.size() && isBlankOrControl(right[start]))
        ++start;
    return right.mid(start);
}

// Blanks may lead; then only decimal digits.
std::optional<int> decimalTail(const QString& line, int digits) {
    const QString trimmed = trimRight(line);
    const QString tail = trimmed.right(digits);
    qsizetype i = 0;
    while (i < tail.size() && tail[i] == u' ')
        ++i;
    if (i == tail.size())
        return std::nullopt;
    int value = 0;
    for (; i < tail.size(); ++i) {
        const char16_t u = tail[i].unicode();
        if (u < '0' || u > '9')
            return std::nullopt;
        value = value * 10 + (u - '0');
    }
    return value;
}

QString taggedNumber(const QString& line, int digits) {
    const auto n = decimalTail(line, digits);
    return n ? QString::number(*n).rightJustified(digits, QLatin1Char('0')) : QString();
}

// 036906034AM -> 036 906 034 AM; the high bit of every character is dropped.
QString partNumber(const QString& line1) {
    QString out;
    for (qsizetype i = 0; i < line1.size(); ++i) {
        const qsizetype p = i + 1;
        if (p == 4 || p == 7 || p == 10)
            out += QLatin1Char(' ');
        out += QChar(char16_t(line1[i].unicode() & 0x7F));
    }
    return out;
}

// One line with its CR; a lone CR stays a line of its own.
QString readLine(CommandChannel& channel) {
    const QString raw = channel.ReadReply(false, false);
    if (raw.isEmpty())
        channel.raiseDataError(channel.silenceReason());
    const QString line = raw.endsWith(CR) ? raw : raw + CR;
    channel.LastReply = line;
    return line;
}

} // namespace

void ReadIdentification(CommandChannel& channel, TecuID& record) {
    ReadIdentification(channel, record, std::nullopt);
}

void ReadIdentification(CommandChannel& channel, TecuID& record, std::optional<QString> firstLine) {
    record = TecuID{};
    const QString promptLine = QStringLiteral(">\r");
    int n = 1;
    QString w;
    for (;;) {
        const QString line = firstLine ? *firstLine + CR : readLine(channel);
        firstLine.reset();
        if (line == promptLine)
            break;
        if (line == QLatin1String("?\r") || line == QLatin1String("DATA ERROR\r"))
            continue;
        record.Erfolg = true;
        const QString tag = line.left(3);
        if (tag == QLatin1String("SWC")) {
            record.Coding = taggedNumber(line, 5);
        } else if (tag == QLatin1String("WSC")) {
            record.WSC = taggedNumber(line, 5);
        } else if (tag == QLatin1String("EXT")) {
            record.DeviceNumber = taggedNumber(line, 7);
        } else if (tag == QLatin1String("IMP")) {
            record.ImporterNumber = taggedNumber(line, 3);
        } else {
            if (n == 1) {
                w = line;
            } else if (n == 2) {
                w += line;
                const qsizetype cr = w.indexOf(CR);
                record.VAGTyp = partNumber(w.left(cr));
                w = trimBoth(w.mid(cr));
            } else if (n == 3) {
                w += line;
                record.Part = w;
            } else {
                record.Zusatz += trimRight(line);
            }
            ++n;
        }
    }
}
