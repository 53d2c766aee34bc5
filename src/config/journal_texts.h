#pragma once
// Texts of the change journal's undo and of changes whose result was not
// recorded, by what they say (German at the id, English at id +
// EnglishStringOffset).
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
} // namespace TeamText
