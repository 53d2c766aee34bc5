#pragma once
// What every fuzz target shares: the entry point libFuzzer calls (the corpus
// replay of the tests calls the same one), checks that abort on a broken
// property, and a reader that takes numbers and texts from the input.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// An abort is what libFuzzer keeps as a finding and what fails the replay.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// Takes values from the front of the input; once it is used up every value
// is 0 and every text empty, so any input is a valid one.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // A number in [lo, hi], from as few bytes as the range needs.
    int inRange(int lo, int hi) {
        const uint32_t span = uint32_t(hi - lo);
        uint32_t v = 0;
        for (uint32_t s = span; s != 0; s >>= 8)
            v = (v << 8) | byte();
        return lo + int(span == UINT32_MAX ? v : v % (span + 1));
    }
    // Up to maxBytes, ended early by a zero byte (not part of the text).
    QByteArray bytes(size_t maxBytes) {
        QByteArray out;
        while (out.size() < qsizetype(maxBytes) && m_pos < m_size) {
            const char c = char(m_data[m_pos++]);
            if (c == 0)
                break;
            out += c;
        }
        return out;
    }
    // As bytes, each one the character of the same code (Latin-1).
    QString text(size_t maxChars) { return QString::fromLatin1(bytes(maxChars)); }
    // Everything left.
    QByteArray rest() {
        const QByteArray out(reinterpret_cast<const char*>(m_data + m_pos),
                             qsizetype(m_size - m_pos));
        m_pos = m_size;
        return out;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
