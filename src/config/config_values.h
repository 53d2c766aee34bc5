#pragma once
// The values of section "Config" of vandrix.ini, read as start-up reads them,
// for a front end that has no window to put them in.
#include "config/ini_file.h"

#include <QString>
#include <QStringList>
#include <array>

// vandrix.ini holds a dozen keys: 64 kB and 500 entries leave room for
// every comment a user may add.
inline constexpr IniLimits ConfigFileLimits{64 * 1024, 500};

// The ranges the chip takes: ATIBT and ATBDT carry one byte each.
inline constexpr int MinTimingValue = 0;
inline constexpr int MaxTimingValue = 255;

// What the chip is told at each connection ("ATIBT", "ATBDT", a fixed K-line
// speed). The configuration, the window's state and the session share it.
struct InterfaceTiming {
    int InterByteTime = 5;
    int BlockDelayTime = 40;
    int KLineBaud = 0; // 0 automatic, or a fixed K-line speed, 1200 .. 14400
};

struct ConfigValues : InterfaceTiming {
    QString Port;           // "COM-Port", trimmed; empty when the file names none
    bool English = false;   // "Sprache" is "en"
    bool U2Defined = false; // without "U2" no input voltage can be shown
    QString U2Text;         // "U2" as written, for the window's label
    bool Splash = true;     // "Splash" is not "nein"
    // "Schnittstelle" as written: "auto" (also when missing), "chip" or "kabel".
    QString Interface;
    double U2 = 0;
    std::array<double, 6> TV{}; // TV0 .. TV5, read only when U2 is defined
    // Values refused for their range, one text each for the debug trace.
    QStringList refused;
};

// A closed file gives the defaults.
ConfigValues ReadConfigValues(const IniFile& config);

// A decimal integer of section "Config"; anything else, the empty text
// included, gives defaultValue.
int ConfigInteger(const IniFile& config, const QString& key, int defaultValue);
// The same within [low, high]; a number outside gives defaultValue and, when
// refused is given, a note naming the key, the value and the range.
int ConfigIntegerInRange(const IniFile& config, const QString& key, int defaultValue, int low,
                         int high, QStringList* refused, int languageOffset = 0);
// Always written with "." whatever the regional settings; not a number gives 0.
double PointNumber(const QString& text);
