#pragma once
// The program's string table: every caption, label and message by number.
// German texts sit at their id, English ones at id + 10000; callers add the
// language offset chosen at start-up. Id 0, the version text, has no English
// twin and is always loaded as id 0.
#include <QString>

inline constexpr int EnglishStringOffset = 10000;

// The text of an absolute id; the empty text when the id has none.
QString LoadStr(int id);

// Texts the team added to the table, by what they say (German at the id,
// English at id + EnglishStringOffset).
namespace TeamText {
inline constexpr int UnitSilent = 2001;        // %1: the unit's address, "01"
inline constexpr int AdapterLost = 2002;       // %1: the port
inline constexpr int LogWriteFailed = 2003;    // followed by the file and the reason
inline constexpr int TraceWriteFailed = 2004;  // followed by the reason
inline constexpr int DemoUnavailable = 2005;
inline constexpr int PortAdminOnly = 2006;     // %1: the device
inline constexpr int PortGroup = 2007;         // %1: the device, %2: its group
inline constexpr int DemoInterface = 2008;     // the demo entry of the port list
inline constexpr int LogFolderMissing = 2009;  // %1: the folder
inline constexpr int First = 2001;
inline constexpr int Last = 2009;
} // namespace TeamText
