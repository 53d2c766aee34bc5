#include "softchip/chip_replies.h"

namespace {
constexpr char kHex[] = "0123456789ABCDEF";
}

void ChipReplies::line(std::string_view text) {
    m_out += text;
    endLine();
}

void ChipReplies::endLine() {
    m_out += '\r';
    if (m_crlf)
        m_out += '\n';
}

void ChipReplies::hexLine(unsigned value, int digits) {
    char buf[9];
    int n = 0;
    do {
        buf[n++] = kHex[value & 0xF];
        value >>= 4;
    } while (value && n < 8);
    while (n < digits)
        buf[n++] = '0';
    while (n > 0)
        m_out += buf[--n];
    endLine();
}

void ChipReplies::triplet(unsigned type, unsigned a, unsigned b) {
    const unsigned v[3] = {type & 0xFF, a & 0xFF, b & 0xFF};
    for (int k = 0; k < 3; ++k) {
        m_out += kHex[v[k] >> 4];
        m_out += kHex[v[k] & 0xF];
        if (k < 2)
            m_out += ' ';
    }
    endLine();
}

void ChipReplies::faultLine(unsigned code, unsigned status) {
    for (int shift = 12; shift >= 0; shift -= 4)
        m_out += kHex[(code >> shift) & 0xF];
    m_out += ' ';
    m_out += kHex[(status >> 4) & 0xF];
    m_out += kHex[status & 0xF];
    endLine();
}

void ChipReplies::connectLine(int speedCode, int protocol) {
    m_out += "CONNECT B";
    m_out += char('0' + (speedCode >= 0 && speedCode <= 9 ? speedCode : 0));
    m_out += " P";
    m_out += char('0' + (protocol >= 0 && protocol <= 9 ? protocol : 0));
    endLine();
}

void ChipReplies::reset(std::string_view nameLine) {
    // Three lines in all, the prompt being the third: the connection set-up
    // reads exactly that many before it programs the timing.
    line("RESET");
    line(nameLine);
}

void ChipReplies::decimal(int64_t v, int digits) {
    char buf[24];
    int n = 0;
    do {
        buf[n++] = char('0' + v % 10);
        v /= 10;
    } while (v > 0 && n < 20);
    while (n < digits)
        buf[n++] = '0';
    while (n > 0)
        m_out += buf[--n];
}

void ChipReplies::identification(const std::vector<std::string>& lines, int coding,
                                 int workshopCode, int64_t deviceNumber, int importer) {
    for (const std::string& l : lines)
        line(l);
    const struct {
        const char* tag;
        int64_t value;
        int digits;
    } tagged[] = {{"SWC ", coding, 5},
                  {"WSC ", workshopCode, 5},
                  {"EXT ", deviceNumber, 7},
                  {"IMP ", importer, 3}};
    for (const auto& t : tagged) {
        if (t.value < 0)
            continue;
        m_out += t.tag;
        decimal(t.value, t.digits);
        endLine();
    }
}

bool ChipReplies::hexValue(std::string_view s, unsigned* v) {
    if (s.empty() || s.size() > 8)
        return false;
    unsigned r = 0;
    for (const char c : s) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        r = r * 16 + unsigned(d);
    }
    *v = r;
    return true;
}

int ChipReplies::speedCode(int baud) {
    switch (baud) {
    case 1200:
        return 1;
    case 2400:
        return 2;
    case 4800:
        return 3;
    case 9600:
        return 4;
    case 14400:
        return 5;
    case 10400:
        return 6;
    default:
        return 0;
    }
}
