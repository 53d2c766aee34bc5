#pragma once
// Texts of files the program could not write or would not touch, by what
// they say (German at the id, English at id + EnglishStringOffset).
namespace FileText {
// %1: the refusal (file and reason); nothing is sent while the journal is unusable
inline constexpr int JournalRefused = 2801;
inline constexpr int LineUnreadable = 2802; // %1: the file, %2: the line's number
inline constexpr int First = 2801;
inline constexpr int Last = 2802;
} // namespace FileText
