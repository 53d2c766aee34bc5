#pragma once
// A saved search report far larger than any car gives: one unit with a
// great many faults (codes repeat, as a flood of lines would), written as
// the search writes it. The newer scan has one fault gone, one new and one
// status changed, so a correct diff finds exactly those three.
#include <QByteArray>
#include <QString>

struct BigScanReports {
    QByteArray older;
    QByteArray newer;
    static constexpr int GoneCode = 11111;
    static constexpr int NewCode = 22222;
    static constexpr int ChangedCode = 33333;
};

inline BigScanReports MakeBigScanReports(int faults) {
    const auto report = [faults](bool newer) {
        QByteArray out;
        out.reserve(qsizetype(faults) * 56 + 1024);
        out += "======== 017 [11] - Motor 2 ===============================================\n"
               "-> Steuerger\xc3\xa4t gefunden <-\n \n"
               "VAG Ger\xc3\xa4te-Typnummer:         1J0 920 826 C\n"
               "Bauteilbezeichnung:           KOMBI\n"
               "Zusatzinformationen:          \n"
               "VAG Werkstattcode:            04711\n"
               "Softwarecodierung:            01262\n";
        out += "-> " + QByteArray::number(faults) + " Fehlercode(s) <-\n";
        int n = 0;
        const auto fault = [&](int code, int status) {
            out += "-- " + QByteArray::number(++n) + " --\n";
            out += ' ' + QByteArray::number(code).rightJustified(5, '0') + "  Fehler\n";
            out += ' ' + QByteArray::number(status).leftJustified(7) + "Status\n";
        };
        for (int i = 0; i < faults - 2; ++i)
            fault(1 + i % 9000, 35); // each code about faults / 9000 times
        if (!newer)
            fault(BigScanReports::GoneCode, 35);
        fault(BigScanReports::ChangedCode, newer ? 161 : 35);
        if (newer)
            fault(BigScanReports::NewCode, 35);
        out += " \n \n******** Vandrix Version 1.41 *******************************************\n";
        return out;
    };
    return {report(false), report(true)};
}
