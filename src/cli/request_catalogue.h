#pragma once
// What a hand-typed request is, held against the catalogue of unit requests.
#include <QString>

enum class RequestKind {
    Reads,      // a catalogue request that only reads
    Writes,     // clear, coding, adaptation save, login, output test step
    OutOfRange, // a catalogue request with a number outside its range
    Free,       // anything else the chip could be sent
    Interface,  // the interface's own command ("AT..."): never sent
    Unsendable, // empty, too long, or with a character that would end a line
};

// Upper case, blanks removed: "08 01" and "0801" are the same request.
QString NormalisedRequest(const QString& text);
// text as NormalisedRequest gives it.
RequestKind ClassifyRequest(const QString& text);
