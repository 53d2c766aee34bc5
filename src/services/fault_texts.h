#pragma once
// The fault code and status texts beside the program: "dtc_list_" and
// "dtc_status_" followed by the language code and ".ini", sections "DTC" and
// "Status", keyed by the decimal number. A missing file only removes its texts.
#include "config/ini_file.h"

#include <QString>
#include <QStringList>

// A code text file lists at most 65,534 codes, one line each: 16 MB and
// 100,000 entries leave room for long texts and comments.
inline constexpr IniLimits FaultTextLimits{16 * 1024 * 1024, 100000};

struct FaultTexts {
    IniFile Codes;    // dtc_list_<lang>.ini
    IniFile Statuses; // dtc_status_<lang>.ini

    static FaultTexts open(const QString& folder, const QString& languageCode);
    // Each file from the first of dataDirs that has it.
    static FaultTexts open(const QStringList& dataDirs, const QString& languageCode);

    // Empty without file or entry.
    QString codeText(int code) const;
    QString statusText(int status) const;
};
