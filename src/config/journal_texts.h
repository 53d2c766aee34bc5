#pragma once
// Texts of the change journal: its header, its undo, changes whose result
// was not recorded and a journal that cannot be read whole, by what they
// say (German at the id, English at id + EnglishStringOffset).
namespace TeamText {
// %1: the unit, %2: its part number, %3: its coding now, %4: the coding undo writes
inline constexpr int UndoCodingQuestion = 740;
// %1: the unit, %2: its part number, %3: the channel, %4: its value now,
// %5: the value undo writes
inline constexpr int UndoAdaptationQuestion = 741;
inline constexpr int UndoValueMoved = 742;    // %1: the value now, %2: the value the change left
inline constexpr int UndoResultOpen = 743;    // the newest change has no recorded result
inline constexpr int UndoNotIdentified = 744; // journalled without the unit's identification
// A change without a recorded result, read back at this connection.
// %1: before, %2: requested, %3: the value now
inline constexpr int OpenChangeApplied = 745;
inline constexpr int OpenChangeNotApplied = 746;
inline constexpr int OpenChangeUnread = 747; // %1: before, %2: requested
// The journal file's first line: its 18 column names, ";"-separated.
inline constexpr int JournalHeader = 748;
inline constexpr int JournalCutLine = 749;    // %1: the journal, %2: the line's number
inline constexpr int JournalUnreadable = 750; // %1: the journal, %2: the reason
} // namespace TeamText
