#pragma once
// Names for measuring values from the label file of the connected unit, with
// numeric fallbacks when there is no file or no usable key. A closed IniFile
// stands for "no label file" (LabelFileOpen false).
#include "config/ini_file.h"

#include <QString>
#include <QStringList>

// A label file names at most 255 groups of four fields, the raw bytes and
// the adaptation channels with their help: 4 MB and 20,000 entries are ten
// times the largest known.
inline constexpr IniLimits LabelFileLimits{4 * 1024 * 1024, 20000};

// The part number (VAGTyp) with every blank removed: the label file's name
// without ".ini", also shown in the status bar.
QString LabelFileName(const QString& partNumber);
// <programDir>/labelfiles_<languageCode>/<LabelFileName>.ini
QString LabelFilePath(const QString& programDir, const QString& languageCode,
                      const QString& partNumber);
// The unit's label file opened for reading, or a closed IniFile when there is
// none (refused, when the file is there but not read). The name matches without regard to case:
// label files handed around by users do not always keep the part number's letter case.
IniFile OpenLabelFile(const QString& programDir, const QString& languageCode,
                      const QString& partNumber);
// The same from the first of dataDirs that has the unit's file, so a user's
// own label file is found before the shipped one.
IniFile OpenLabelFile(const QStringList& dataDirs, const QString& languageCode,
                      const QString& partNumber);

// Name of field 1..4 of a measuring group: "-" for a field without data
// (type -1), else key "G<group>.<field>" of "Groups", else the formula type.
QString LookupGroupLabel(const IniFile& labelFile, int group, int field, int formulaType);
// Caption of raw byte 1..10: key "raw<n>" of "Raw", else n; empty without file.
QString LookupRawLabel(const IniFile& labelFile, int n);
// Name of value 1..4 of an adaptation channel: key "K<channel>-V<n>" of
// "Adaption", else the formula type (-1 included).
QString LookupAdaptionLabel(const IniFile& labelFile, int channel, int n, int formulaType);

// Title of an adaptation channel: key "K<channel>T" of "Adaption", or empty.
QString LookupAdaptionTitle(const IniFile& labelFile, int channel);
// Help lines of an adaptation channel: every "Adaption" entry whose
// key=value line contains "K<channel>.", as the text after its first "=".
QStringList AdaptionHelpLines(const IniFile& labelFile, int channel);
// Help lines of a whole section ("Coding", "Login"): each entry's text after
// its first "=", in file order. Empty without file or section.
QStringList LabelHelpLines(const IniFile& labelFile, const QString& section);
