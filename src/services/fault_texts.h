#pragma once
// The fault code and status texts beside the program: "dtc_list_" and
// "dtc_status_" followed by the language code and ".ini", sections "DTC" and
// "Status", keyed by the decimal number. A missing file only removes its texts.
#include "config/ini_file.h"

#include <QString>

struct FaultTexts {
    IniFile Codes;    // dtc_list_<lang>.ini
    IniFile Statuses; // dtc_status_<lang>.ini

    static FaultTexts open(const QString& folder, const QString& languageCode);

    // Empty without file or entry.
    QString codeText(int code) const;
    QString statusText(int status) const;
};
