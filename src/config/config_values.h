#pragma once
// The values of section "Config" of vandrix.ini, read as start-up reads them,
// for a front end that has no window to put them in.
#include "config/ini_file.h"

#include <QString>
#include <array>

struct ConfigValues {
    QString Port;         // "COM-Port", trimmed; empty when the file names none
    bool English = false; // "Sprache" is "en"
    int InterByteTime = 5;
    int BlockDelayTime = 40;
    int KLineBaud = 0;      // 0 automatic, or a fixed K-line speed
    bool U2Defined = false; // without "U2" no input voltage can be shown
    double U2 = 0;
    std::array<double, 6> TV{}; // TV0 .. TV5, read only when U2 is defined
};

// A closed file gives the defaults.
ConfigValues ReadConfigValues(const IniFile& config);

// A decimal integer of section "Config"; anything else, the empty text
// included, gives defaultValue.
int ConfigInteger(const IniFile& config, const QString& key, int defaultValue);
// Always written with "." whatever the regional settings; not a number gives 0.
double PointNumber(const QString& text);
