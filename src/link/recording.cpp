#include "link/recording.h"

#include <QFile>

namespace Recording {

namespace {
constexpr char Hex[] = "0123456789ABCDEF";

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

QByteArray escape(QByteArrayView bytes, bool keepHighBytes) {
    QByteArray out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\\') {
            out += "\\\\";
        } else if (b == '\r') {
            out += "\\r";
        } else if (b == '\n') {
            out += "\\n";
        } else if (b < 0x20 || b == 0x7F || (b > 0x7F && !keepHighBytes)) {
            out += "\\x";
            out += Hex[b >> 4];
            out += Hex[b & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<QByteArray> unescape(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 'x': {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int hi = hexDigit(text[i + 1]);
            const int lo = hexDigit(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += char(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

QByteArray chunkLine(const Chunk& chunk) {
    QByteArray line = QByteArray::number(qlonglong(chunk.ms)).rightJustified(7, ' ');
    line += ' ';
    line += char(chunk.direction);
    line += ' ';
    line += escape(chunk.bytes);
    return line;
}

QByteArray headerLine(const QString& key, const QString& value) {
    return "# " + key.toUtf8() + ": " + escape(value.toUtf8(), true);
}

bool isHeaderLine(QByteArrayView line) {
    return line.startsWith("#");
}

std::optional<Chunk> parseChunk(QByteArrayView line) {
    qsizetype i = 0;
    while (i < line.size() && line[i] == ' ')
        ++i;
    const qsizetype digits = i;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9')
        ++i;
    if (i == digits || i - digits > 15 || i + 3 > line.size() || line[i] != ' ' ||
        line[i + 2] != ' ')
        return std::nullopt;
    const char mark = line[i + 1];
    if (mark != '>' && mark != '<' && mark != '*')
        return std::nullopt;
    std::optional<QByteArray> bytes = unescape(line.sliced(i + 3));
    if (!bytes)
        return std::nullopt;
    Chunk chunk;
    chunk.ms = line.sliced(digits, i - digits).toLongLong();
    chunk.direction = Direction(mark);
    chunk.bytes = std::move(*bytes);
    return chunk;
}

QString File::value(const QString& key) const {
    for (const auto& [k, v] : header)
        if (k == key)
            return v;
    return QString();
}

File parse(const QByteArray& text) {
    File file;
    int number = 0;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView line = QByteArrayView(text).sliced(start, end - start);
        start = end + 1;
        ++number;
        if (line.endsWith('\r')) // a file passed through a mail program
            line.chop(1);
        if (line.isEmpty())
            continue;
        if (isHeaderLine(line)) {
            const QByteArrayView rest = line.sliced(1).trimmed();
            const qsizetype colon = rest.indexOf(": ");
            if (colon > 0) {
                const QByteArray value = unescape(rest.sliced(colon + 2)).value_or(QByteArray());
                file.header.append(
                    {QString::fromUtf8(rest.first(colon)), QString::fromUtf8(value)});
            }
            continue;
        }
        if (std::optional<Chunk> chunk = parseChunk(line))
            file.chunks.append(std::move(*chunk));
        else
            file.badLines.append(number);
    }
    return file;
}

std::optional<File> read(const QString& path, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return std::nullopt;
    }
    const QByteArray text = f.readAll();
    if (!text.startsWith(FirstLine)) {
        if (error)
            *error = QStringLiteral("not a recording (the first line is not \"%1\")")
                         .arg(QLatin1String(FirstLine));
        return std::nullopt;
    }
    return parse(text);
}

bool looksLikeRecording(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(sizeof FirstLine - 1) == FirstLine;
}

} // namespace Recording
