#pragma once
// The texts the copy buttons put on the clipboard: tab-separated fields, every
// line ended by CR LF (the last one too), each field the control's text as
// shown. Built from plain texts, so the window only gathers them.
#include <QString>
#include <QStringList>
#include <array>
#include <utility>
#include <vector>

// One measuring group as a page shows it: the number field, the four names
// and the four values from left to right.
struct GroupSlotTexts {
    QString number;
    std::array<QString, 4> names;
    std::array<QString, 4> values;
};

// The cells of a fault code grid, row 0 being its header.
using FaultGridRows = std::vector<std::array<QString, 4>>;

// A caption and the value beside it.
using CaptionValue = std::pair<QString, QString>;

// Fields joined by tabs, each line followed by CR LF.
QString ClipboardLines(const QList<QStringList>& lines);

// Info page: six caption/value lines, top to bottom.
QString InfoPageCopy(const std::array<CaptionValue, 6>& rows);
// Group page: per slot a names line (number first) and a values line (empty first).
QString GroupPageCopy(const std::array<GroupSlotTexts, 4>& groups);
// Raw data page: the ten group box captions with their values.
QString RawPageCopy(const std::array<CaptionValue, 10>& rows);
// Fault code page: every row, header included, four fields each followed by a
// tab; a line break inside a cell becomes a blank.
QString FaultCodePageCopy(const FaultGridRows& rows);
// Basic settings, group view: names line and values line of the one group.
QString BasicSettingsGroupCopy(const GroupSlotTexts& group);
// Basic settings, raw view: the ten values, one per line.
QString BasicSettingsRawCopy(const std::array<QString, 10>& values);
