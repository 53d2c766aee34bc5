#pragma once
// Texts of the flight recorder, the interface check's button and box, and
// the connection attempt's detail line, by what they say (German at the id,
// English at id + EnglishStringOffset).
namespace TeamText {
inline constexpr int CheckButton = 700; // caption of the check's button
inline constexpr int CheckTitle = 701;  // caption of its result box
inline constexpr int CheckSummaryPassed = 712;
inline constexpr int CheckSummaryFailed = 713;
inline constexpr int SeenNothing = 715;
inline constexpr int SeenWakeUpOnly = 716; // %1: what arrived
inline constexpr int SeenNoChipName = 717; // %1: the reset answer as received
inline constexpr int SeenUnitSilent = 718; // %1: the unit's address, "01"
inline constexpr int SeenErrorWord = 719;  // %1: the address, %2: the word
inline constexpr int RecorderOff = 720;    // %1: the file or folder and the reason
// %1: the folder, its size and the limit; nothing was removed
inline constexpr int RecordingsOverLimit = 721;
} // namespace TeamText
