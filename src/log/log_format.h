#pragma once
// The cells and lines of the CSV measurement log. Every cell is followed by
// its ";", the last one of a line included; the caller writes the line end.
// Numbers arrive as the value labels show them, so the regional separators
// pass through unchanged. Texts that come from the unit or a label file can
// hold anything, so every cell is made safe before it is joined.
#include <QChar>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace LogFormat {

inline constexpr int SeparatorWidth = 60;

// Substitutes for characters that would break a row in a spreadsheet.
inline constexpr QChar SeparatorSubstitute = u',';
inline constexpr QChar QuoteSubstitute = u'\'';
inline constexpr QChar ControlSubstitute = QChar::ReplacementCharacter;

// The text as one cell: ";" becomes ",", a double quote becomes "'" (a
// leading one would start a quoted cell), and control characters (CR, LF,
// tab, NUL, DEL, C1, line and paragraph separators) become U+FFFD.
QString SafeCell(const QString& text);

// The line of "*" that follows the two empty lines before a repeated header.
QString SeparatorLine();

// "13,50 V" -> "13,50"; a text without a blank ("NA", "1,23ms") -> "".
QString ValuePart(const QString& valueText);
// "13,50 V" -> "V"; "42 " -> ""; a text without a blank is all unit.
QString UnitPart(const QString& valueText);

// h:m:s<decimal>mmm with hours modulo 24, no leading zeros but in the
// milliseconds: 62004 -> 0:1:2,004.
QString ElapsedTime(int64_t ms, QChar decimalSeparator);

// A caption without its accelerator marks: "Roh&daten" -> "Rohdaten".
QString WithoutAccelerator(const QString& caption);

// Header lines 1 to 4: two texts, each made safe, joined by ";".
QString PairLine(const QString& first, const QString& second);

// Each cell made safe and followed by ";".
QString Cells(const QStringList& cells);

// What the header needs of one ticked Group slot.
struct GroupSlot {
    QString groupText;                 // the number field as shown
    std::array<QString, 4> names;      // name labels
    std::array<QString, 4> valueTexts; // value labels, number and unit
};

// Line 7 of the Group page: six "Gruppe n" cells per slot.
QStringList GroupTitleCells(const QString& groupWord, const QList<GroupSlot>& ticked);
// Line 8 of the Group page: the two time columns, then "name [unit]" per field.
QStringList GroupColumnCells(const QString& timeWord, const QList<GroupSlot>& ticked);
// Line 7 of the raw data page: the two time columns, then the byte names.
QStringList RawColumnCells(const QString& timeWord, const QStringList& byteNames);

// One Group slot's part of a row. The two time cells may come from different
// moments (the last slot times its milliseconds after its request).
QStringList GroupSlotCells(int64_t elapsedMs, int64_t elapsedForTime,
                           const std::array<QString, 4>& valueTexts, QChar decimalSeparator);
// A raw data row: the time cells and the ten bytes as shown.
QStringList RawRowCells(int64_t elapsedMs, const QStringList& shownBytes, QChar decimalSeparator);

} // namespace LogFormat
