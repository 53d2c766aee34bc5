#pragma once
// The chip's reply forms, written in one place: the simulated chip and the
// software chip of a plain cable both answer through this writer, so the
// program sees the same lines from either.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ChipReplies {
public:
    // Appends to out, which the caller owns.
    explicit ChipReplies(std::string& out) : m_out(out) {}

    // Lines end in CR, or in CR LF (a chip set that way).
    void setCrLf(bool on) { m_crlf = on; }
    bool crLf() const { return m_crlf; }

    void line(std::string_view text);
    void endLine();
    // Upper-case hexadecimal with at least digits digits.
    void hexLine(unsigned value, int digits);
    // "TT AA BB": one field of a measuring block.
    void triplet(unsigned type, unsigned a, unsigned b);
    // "CCCC SS": one entry of the fault memory.
    void faultLine(unsigned code, unsigned status);
    // "CONNECT Bs Pp": the 10th character the speed code, the last the protocol.
    void connectLine(int speedCode, int protocol);
    // The reset answer before its prompt: "RESET" and the chip's name line.
    void reset(std::string_view nameLine);
    // The identification: untagged lines, then the tagged values that are
    // there (-1: none) as "SWC nnnnn", "WSC nnnnn", "EXT nnnnnnn", "IMP nnn".
    void identification(const std::vector<std::string>& lines, int coding, int workshopCode,
                        int64_t deviceNumber, int importer);
    void prompt() { m_out += '>'; }

    // The speed code of a K-line rate in the CONNECT line: 1 to 5 for 1200,
    // 2400, 4800, 9600 and 14400, 6 for 10400, 0 for anything else.
    static int speedCode(int baud);
    // A command's hexadecimal argument (capital digits, 1 to 8 of them) as
    // the chip reads it; false for anything else.
    static bool hexValue(std::string_view s, unsigned* v);

private:
    void decimal(int64_t value, int digits);

    std::string& m_out;
    bool m_crlf = false;
};
