#pragma once
// The program's string table: every caption, label and message by number.
// German texts sit at their id, English ones at id + 10000; callers add the
// language offset chosen at start-up. Id 0, the version text, has no English
// twin and is always loaded as id 0.
#include <QString>

inline constexpr int EnglishStringOffset = 10000;

// The text of an absolute id; the empty text when the id has none.
QString LoadStr(int id);
