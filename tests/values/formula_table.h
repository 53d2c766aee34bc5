#pragma once
// The table of every measured value text, (formula type, a, b) -> text, as the
// program on x86-64 showed them in English (United States) settings. Kept in
// tests/values/formula_table.bin, made by make_formula_table.
//
// The types run from -2 to 71 (one past each end of the formula table), a and
// b from -1 (a byte whose hexadecimal text was not valid) to 255, b fastest.
// German settings differ from English only in the two separators, so one
// locale is enough: the test swaps them for the German run.
//
// File: qCompress of a header line and then, per text, the count of leading
// UTF-8 bytes it shares with the text before it in the same (type, a) row,
// the count of bytes that follow and those bytes. Neighbours differ in a few
// trailing digits, which brings the file from 9 MB to under 3 MB.
#include <QByteArray>
#include <QString>

namespace FormulaTable {
constexpr int FirstType = -2;
constexpr int LastType = 71;
constexpr int FirstByte = -1;
constexpr int LastByte = 255;
constexpr int Bytes = LastByte - FirstByte + 1;
constexpr int Types = LastType - FirstType + 1;
constexpr qsizetype Entries = qsizetype(Types) * Bytes * Bytes;
inline const QByteArray Header = "vandrix formula table 1: types -2..71, a and b -1..255, en_US\n";

inline qsizetype index(int type, int a, int b) {
    return (qsizetype(type - FirstType) * Bytes + (a - FirstByte)) * Bytes + (b - FirstByte);
}

// Builds the file from the texts in the order of index().
class Writer {
public:
    Writer() : m_out(Header) {}
    void add(const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        if (m_count++ % Bytes == 0)
            m_previous.clear();
        qsizetype shared = 0;
        while (shared < utf8.size() && shared < m_previous.size() && shared < 255 &&
               utf8[shared] == m_previous[shared])
            ++shared;
        const QByteArray tail = utf8.mid(shared);
        Q_ASSERT(tail.size() <= 255);
        m_out += char(shared);
        m_out += char(tail.size());
        m_out += tail;
        m_previous = utf8;
    }
    QByteArray file() const { return qCompress(m_out, 9); }

private:
    QByteArray m_out;
    QByteArray m_previous;
    qsizetype m_count = 0;
};

// Calls visit(index, UTF-8 text) for every entry in the order of index().
// False for a file cut short, too long or of another layout.
template <typename Visit> bool forEachText(const QByteArray& file, Visit visit) {
    const QByteArray data = qUncompress(file);
    if (!data.startsWith(Header))
        return false;
    QByteArray text;
    qsizetype at = Header.size();
    for (qsizetype i = 0; i < Entries; ++i) {
        if (at + 2 > data.size())
            return false;
        const int shared = uchar(data[at]);
        const int tail = uchar(data[at + 1]);
        at += 2;
        if (i % Bytes == 0)
            text.clear();
        if (shared > text.size() || at + tail > data.size())
            return false;
        text.truncate(shared);
        text.append(data.constData() + at, tail);
        at += tail;
        visit(i, text);
    }
    return at == data.size();
}
} // namespace FormulaTable
