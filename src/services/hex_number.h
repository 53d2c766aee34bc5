#pragma once
// Numbers in the interface's text: replies carry hexadecimal text, requests
// put their arguments in upper-case hexadecimal of a fixed minimum width.
#include <QString>
#include <stdexcept>

// A reply text that had to be a number was not one. The session ends on it
// with its communication error.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const QString& message);
    // "'$zz' is not a valid integer value": the text as it was converted.
    static EConvertError invalidInteger(const QString& text);
};

// The text read as a hexadecimal number (at most 32 bits, wrapping to a
// signed value like the interface's 8-digit numbers); -1 when it is not one,
// including the empty text.
int HexToIntLenient(const QString& text);
// The same, but a text that is not a number throws EConvertError.
int HexToIntStrict(const QString& text);

// value in upper-case hexadecimal, padded with zeros to width digits; a
// value that needs more digits gets them.
QString HexDigits(int value, int width);

// Characters from..from+count-1 of text, counted from 1; shorter or empty
// where the text ends first. Reply lines are taken apart by position.
QString Chars(const QString& text, int from, int count);
