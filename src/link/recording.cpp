#include "link/recording.h"

#include <QFile>
#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

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

namespace {
QByteArray hexPairs(QByteArrayView bytes) {
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (!out.isEmpty())
            out += ' ';
        out += Hex[(uchar(c) >> 4) & 0xF];
        out += Hex[uchar(c) & 0xF];
    }
    return out;
}

std::optional<QByteArray> fromHexPairs(QByteArrayView text) {
    QByteArray out;
    for (const QByteArray& pair : text.toByteArray().split(' ')) {
        if (pair.isEmpty())
            continue;
        if (pair.size() != 2 || hexDigit(pair[0]) < 0 || hexDigit(pair[1]) < 0)
            return std::nullopt;
        out += char(hexDigit(pair[0]) * 16 + hexDigit(pair[1]));
    }
    return out;
}
} // namespace

QByteArray chunkLine(const Chunk& chunk) {
    QByteArray time = QByteArray::number(qlonglong(chunk.ms));
    if (chunk.isKLine())
        time += '.' + QByteArray::number(std::clamp(chunk.micros, 0, 999)).rightJustified(3, '0');
    QByteArray line = time.rightJustified(chunk.isKLine() ? 11 : 7, ' ');
    line += ' ';
    switch (chunk.direction) {
    case Direction::KLineSent:
        return line + "K> " + hexPairs(chunk.bytes);
    case Direction::KLineReceived:
        return line + "K< " + hexPairs(chunk.bytes);
    case Direction::KLineEdge:
        return line + "K! " + escape(chunk.bytes);
    default:
        break;
    }
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
    if (i == digits || i - digits > 15)
        return std::nullopt;
    Chunk chunk;
    chunk.ms = line.sliced(digits, i - digits).toLongLong();
    // A K-line line: "ms.uuu K> ..." with the microseconds after the dot.
    if (i < line.size() && line[i] == '.') {
        if (i + 4 > line.size())
            return std::nullopt;
        const QByteArrayView micros = line.sliced(i + 1, 3);
        for (const char c : micros)
            if (c < '0' || c > '9')
                return std::nullopt;
        chunk.micros = micros.toInt();
        i += 4;
        if (i + 4 > line.size() || line[i] != ' ' || line[i + 1] != 'K' || line[i + 3] != ' ')
            return std::nullopt;
        const QByteArrayView rest = line.sliced(i + 4);
        std::optional<QByteArray> bytes;
        switch (line[i + 2]) {
        case '>':
            chunk.direction = Direction::KLineSent;
            bytes = fromHexPairs(rest);
            break;
        case '<':
            chunk.direction = Direction::KLineReceived;
            bytes = fromHexPairs(rest);
            break;
        case '!':
            chunk.direction = Direction::KLineEdge;
            bytes = unescape(rest);
            break;
        default:
            return std::nullopt;
        }
        if (!bytes)
            return std::nullopt;
        chunk.bytes = std::move(*bytes);
        return chunk;
    }
    if (i + 3 > line.size() || line[i] != ' ' || line[i + 2] != ' ')
        return std::nullopt;
    const char mark = line[i + 1];
    if (mark != '>' && mark != '<' && mark != '*')
        return std::nullopt;
    std::optional<QByteArray> bytes = unescape(line.sliced(i + 3));
    if (!bytes)
        return std::nullopt;
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

std::optional<QByteArray> load(const QString& path, qint64 maxBytes, QString* error,
                               QByteArrayView mustStartWith) {
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    QFile f(path);
    // Opened here first: a folder, a missing file or a refusal says why.
    if (!f.open(QIODevice::ReadOnly))
        return fail(f.errorString());
    const int fd = ::dup(f.handle());
    if (fd < 0)
        return fail(QString::fromLocal8Bit(strerror(errno)));
    // gzip reads a file that is not compressed as it is.
    gzFile in = gzdopen(fd, "rb");
    if (!in) {
        ::close(fd);
        return fail(QString::fromLocal8Bit(strerror(errno)));
    }
    QByteArray text;
    char buffer[65536];
    for (;;) {
        const int n = gzread(in, buffer, sizeof buffer);
        if (n < 0) {
            int code = 0;
            const QString why = QString::fromLocal8Bit(gzerror(in, &code));
            gzclose(in);
            return fail(code == Z_ERRNO ? QString::fromLocal8Bit(strerror(errno)) : why);
        }
        if (n == 0)
            break;
        if (text.size() + n > maxBytes) {
            gzclose(in);
            return fail(QStringLiteral("larger than %1 MB").arg(maxBytes / (1024 * 1024)));
        }
        text.append(buffer, n);
        // An endless file of something else ends at its first buffer.
        if (text.size() >= mustStartWith.size() && !text.startsWith(mustStartWith)) {
            gzclose(in);
            return text;
        }
    }
    gzclose(in);
    return text;
}

std::optional<File> read(const QString& path, QString* error) {
    const std::optional<QByteArray> text = load(path, MaxBytes, error, FirstLine);
    if (!text)
        return std::nullopt;
    if (!text->startsWith(FirstLine)) {
        if (error)
            *error = QStringLiteral("not a recording (the first line is not \"%1\")")
                         .arg(QLatin1String(FirstLine));
        return std::nullopt;
    }
    return parse(*text);
}

bool looksLikeRecording(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const int fd = ::dup(f.handle());
    if (fd < 0)
        return false;
    gzFile in = gzdopen(fd, "rb");
    if (!in) {
        ::close(fd);
        return false;
    }
    char start[sizeof FirstLine - 1];
    const int n = gzread(in, start, sizeof start);
    gzclose(in);
    return n == int(sizeof start) && memcmp(start, FirstLine, sizeof start) == 0;
}

bool compress(const QString& from, const QString& to, QString* error) {
    auto fail = [error](int code) {
        if (error)
            *error = QString::fromLocal8Bit(strerror(code));
        return false;
    };
    const QByteArray toName = QFile::encodeName(to);
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return fail(errno);
    const int out = ::open(toName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int why = errno;
        ::close(in);
        return fail(why);
    }
    // The fastest level: a part is packed between two requests of a session.
    gzFile gz = gzdopen(out, "wb1");
    if (!gz) {
        ::close(in);
        ::close(out);
        ::unlink(toName.constData());
        return fail(ENOMEM);
    }
    char buffer[65536];
    int why = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = errno;
            break;
        }
        if (n == 0)
            break;
        errno = 0;
        if (gzwrite(gz, buffer, unsigned(n)) != int(n)) {
            why = errno ? errno : EIO;
            break;
        }
    }
    ::close(in);
    errno = 0;
    const int closed = gzclose(gz); // closes out, writing what it holds
    if (!why && closed != Z_OK)
        why = errno ? errno : EIO;
    if (why) {
        ::unlink(toName.constData());
        return fail(why);
    }
    return true;
}

} // namespace Recording
