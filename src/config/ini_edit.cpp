#include "config/ini_edit.h"

#include "config/atomic_file.h"

#include <QFile>
#include <QList>

namespace {
// The name inside "[name]", or a null array for a line that is no section.
QByteArray sectionName(const QByteArray& line) {
    const QByteArray t = line.trimmed();
    if (!t.startsWith('['))
        return QByteArray();
    const qsizetype close = t.indexOf(']');
    const QByteArray name = t.mid(1, (close < 0 ? t.size() : close) - 1).trimmed();
    return name.isNull() ? QByteArray("") : name;
}

bool sameName(const QByteArray& a, const QByteArray& b) {
    return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

bool isKeyLine(const QByteArray& line, const QByteArray& key) {
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || t.startsWith(';'))
        return false;
    const qsizetype eq = t.indexOf('=');
    return eq >= 0 && sameName(t.left(eq).trimmed(), key);
}
} // namespace

QByteArray WithIniValue(const QByteArray& bytes, const QString& section, const QString& key,
                        const QString& value) {
    const QByteArray wantedSection = section.toUtf8();
    const QByteArray wantedKey = key.toUtf8();
    // New lines end like the file's lines do.
    const QByteArray cr = bytes.contains("\r\n") ? "\r" : "";
    QList<QByteArray> lines = bytes.split('\n');
    // A file ending in a line break splits into a last, empty piece.
    const bool endsWithBreak = bytes.isEmpty() || bytes.endsWith('\n');
    if (endsWithBreak)
        lines.removeLast();

    qsizetype inSection = -1; // index of the wanted section's header line
    qsizetype lastOfSection = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray name = sectionName(lines[i]);
        if (!name.isNull()) {
            if (inSection >= 0)
                break;
            if (sameName(name, wantedSection)) {
                inSection = i;
                lastOfSection = i;
            }
            continue;
        }
        if (inSection < 0)
            continue;
        if (isKeyLine(lines[i], wantedKey)) {
            const bool hadCr = lines[i].endsWith('\r');
            const QByteArray t = lines[i].trimmed();
            const QByteArray indent = lines[i].left(lines[i].indexOf(t.at(0)));
            lines[i] = indent + t.left(t.indexOf('=')).trimmed() + '=' + value.toUtf8() +
                       (hadCr ? "\r" : "");
            return lines.join('\n') + (endsWithBreak ? "\n" : "");
        }
        if (!lines[i].trimmed().isEmpty())
            lastOfSection = i;
    }

    const auto insert = [&](qsizetype at, const QByteArray& line) {
        // A file that ended without a line break still does.
        if (at == lines.size() && !endsWithBreak) {
            lines.last() += cr;
            lines.append(line);
        } else {
            lines.insert(at, line + cr);
        }
    };
    const QByteArray entry = wantedKey + '=' + value.toUtf8();
    if (inSection >= 0) {
        insert(lastOfSection + 1, entry);
    } else {
        insert(lines.size(), '[' + wantedSection + ']');
        insert(lines.size(), entry);
    }
    return lines.join('\n') + (endsWithBreak ? "\n" : "");
}

bool WriteIniValue(const QString& path, const QString& section, const QString& key,
                   const QString& value, QString* reason) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        if (reason)
            *reason = in.errorString();
        return false;
    }
    const QByteArray bytes = in.readAll();
    in.close();
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return false;
    const AtomicWriteResult written =
        WriteFileAtomically(path, WithIniValue(bytes, section, key, value));
    if (reason)
        *reason = written.reason;
    return written.written;
}
