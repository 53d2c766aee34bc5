#include "config/ini_file.h"

#include <QStringDecoder>

namespace {
// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unused codes
// map to themselves, as the system's converter does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromCp1252(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *d++ = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return out;
}

QString stripQuotes(QString v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}
} // namespace

QString IniFile::decode(const QByteArray& raw) {
    // A Windows editor's "Unicode" is UTF-16 with its byte-order mark.
    if (raw.startsWith("\xFF\xFE") || raw.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(raw.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                        : QStringDecoder::Utf16BE,
                             QStringDecoder::Flag::Stateless);
        return utf16.decode(raw.mid(2));
    }
    QByteArray bytes = raw;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = fromCp1252(bytes);
    return text;
}

IniFile IniFile::open(const QString& path, const IniLimits& limits) {
    BoundedRead read = ReadBoundedFile(path, limits.maxBytes);
    IniFile ini;
    if (!read.refusal) {
        ini = fromBytes(read.bytes, limits.maxEntries);
        if (!ini.isOpen()) {
            read.refusal.kind = FileRefusal::TooMany;
            read.refusal.limit = limits.maxEntries;
        }
    }
    ini.m_path = path;
    ini.m_refusal = read.refusal;
    return ini;
}

IniFile IniFile::fromBytes(const QByteArray& bytes, qsizetype maxEntries) {
    IniFile ini;
    ini.m_open = true;
    QString text = decode(bytes);
    text.remove(QChar(0));

    Section* current = nullptr;
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && text[end] != '\n' && text[end] != '\r')
            ++end;
        const QString line = text.mid(pos, end - pos).trimmed();
        pos = end + 1;
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            const QString name = line.mid(1, (close < 0 ? line.size() : close) - 1).trimmed();
            const QString folded = name.toLower();
            auto it = ini.m_sectionIndex.constFind(folded);
            if (it == ini.m_sectionIndex.constEnd()) {
                ini.m_sections.push_back(Section{name, {}, {}});
                it = ini.m_sectionIndex.insert(folded, int(ini.m_sections.size() - 1));
            }
            // A repeated section adds to the first one of that name.
            current = &ini.m_sections[size_t(*it)];
            continue;
        }
        if (!current)
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (key.isEmpty())
            continue;
        QString value = stripQuotes(line.mid(eq + 1).trimmed());
        if (value.size() > MaxValueLength)
            value.truncate(MaxValueLength);
        // Lookups take the first of duplicate keys; a section read keeps them all.
        if (maxEntries >= 0 && --maxEntries < 0)
            return IniFile();
        const QString folded = key.toLower();
        if (!current->index.contains(folded))
            current->index.insert(folded, int(current->entries.size()));
        current->entries.push_back(Entry{key, value});
    }
    return ini;
}

const IniFile::Section* IniFile::find(const QString& section) const {
    auto it = m_sectionIndex.constFind(section.toLower());
    return it == m_sectionIndex.constEnd() ? nullptr : &m_sections[size_t(*it)];
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    if (const Section* s = find(section)) {
        auto it = s->index.constFind(key.toLower());
        if (it != s->index.constEnd())
            return s->entries[size_t(*it)].value;
    }
    return defaultValue;
}

bool IniFile::hasKey(const QString& section, const QString& key) const {
    const Section* s = find(section);
    return s && s->index.contains(key.toLower());
}

QStringList IniFile::readSection(const QString& section) const {
    QStringList lines;
    if (const Section* s = find(section)) {
        lines.reserve(qsizetype(s->entries.size()));
        for (const Entry& e : s->entries)
            lines << e.key + '=' + e.value;
    }
    return lines;
}

QStringList IniFile::sectionNames() const {
    QStringList names;
    for (const Section& s : m_sections)
        names << s.name;
    return names;
}
