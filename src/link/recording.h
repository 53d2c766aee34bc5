#pragma once
// The text form of a recording of the traffic with the interface, as the
// flight recorder writes it and a replay reads it back:
//
//   # Vandrix recording
//   # Program: Vandrix Version 1.41
//   # Port: /dev/ttyUSB0
//   ...
//         0 * open /dev/ttyUSB0
//        12 > ATZ\r
//        80 < RESET\r
//
// Header lines start with "# " and may also appear later (the chip's name
// once it is known). Every other line is one chunk: milliseconds since the
// recording started, ">" for bytes sent to the interface, "<" for bytes
// received from it or "*" for an event of the port (open, close, failure),
// then the bytes with backslash, CR, LF, other control characters and every
// byte above 127 escaped.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <cstdint>
#include <optional>

namespace Recording {

inline constexpr char FirstLine[] = "# Vandrix recording";
inline constexpr char Suffix[] = ".vrec";

enum class Direction : char { Sent = '>', Received = '<', Event = '*' };

struct Chunk {
    int64_t ms = 0;
    Direction direction = Direction::Event;
    QByteArray bytes; // unescaped; an event's text in UTF-8
};

// Printable ASCII stays as it is; "\" becomes "\\", CR "\r", LF "\n", every
// other byte "\xNN" with upper-case digits. Header values keep the bytes
// above 127 (UTF-8 text).
QByteArray escape(QByteArrayView bytes, bool keepHighBytes = false);
// The reverse; nothing when an escape is malformed.
std::optional<QByteArray> unescape(QByteArrayView text);

// One chunk line without its line end.
QByteArray chunkLine(const Chunk& chunk);
// One header line without its line end.
QByteArray headerLine(const QString& key, const QString& value);

// A chunk line read back; nothing for a header or a line that is no chunk.
std::optional<Chunk> parseChunk(QByteArrayView line);
bool isHeaderLine(QByteArrayView line);

struct File {
    QList<QPair<QString, QString>> header; // in file order, later ones too
    QList<Chunk> chunks;
    // Lines that are neither: 1-based line numbers.
    QList<int> badLines;

    // The first value of key, empty when there is none.
    QString value(const QString& key) const;
};

// Reads a recording; nothing, with the reason in error, when the file cannot
// be read or does not start with FirstLine.
std::optional<File> read(const QString& path, QString* error = nullptr);
File parse(const QByteArray& text);

// Whether path names a file that starts like a recording.
bool looksLikeRecording(const QString& path);

} // namespace Recording
