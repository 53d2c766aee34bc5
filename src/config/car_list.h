#pragma once
// The cars of the control unit search: section "Carlist" of autoscan.ini,
// each entry "name,address,address,...", addresses decimal.
#include "config/ini_file.h"

#include <QList>
#include <QString>

// A car is one short line: 1 MB and 5,000 cars are far beyond any real list.
inline constexpr IniLimits CarListLimits{1024 * 1024, 5000};

struct CarEntry {
    QString name;
    QString addressText; // everything after the name's comma
};

// In file order; an entry without a comma has an empty name.
QList<CarEntry> ReadCarList(const IniFile& autoscan);

// The addresses of a car's list up to the first item that is no whole
// decimal number (blanks may lead it, but not follow it).
QList<int> CarAddresses(const QString& addressText);
