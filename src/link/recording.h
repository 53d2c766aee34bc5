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
// received from it or "*" for an event of the port (open, close, failure)
// or of the dialogue ("data error: silence", "no prompt", "endless line" or
// "interface sent DATA ERROR": why a reply was given up), then the bytes with
// backslash, CR, LF, other control characters and every byte above 127
// escaped. Readers pass over events they do not know.
//
// A plain K-line cable adds the bytes on the K-line itself beside that text
// dialogue, with the time to the microsecond (milliseconds, a dot and three
// digits) and the bytes as hexadecimal pairs:
//
//      812.340 K> 01 0A
//      813.467 K< 01 F5
//      900.000 K! break 25
//      925.000 K! release
//
// "K>" bytes the cable put on the line, "K<" bytes read from it (the cable's
// own echo included), "K!" an edge of the line: "break" when the program
// pulls it low (with the intended length in milliseconds), "release" when it
// lets it go. A replay of the text dialogue skips these lines; readers of an
// older program count them as lines that are no chunk.
//
// A finished recording is compressed (gzip, ".vrec.gz"); every reader takes
// both forms. A long session continues in parts: "# Part: 2" and
// "# Continues: <previous file>" in the header of each part after the first,
// each part a recording of its own.
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
inline constexpr char CompressedSuffix[] = ".gz"; // after Suffix
// Readers refuse recordings that are larger, unpacked: a part is 10 MB.
inline constexpr qint64 MaxBytes = 256LL * 1024 * 1024;

enum class Direction : char {
    Sent = '>',
    Received = '<',
    Event = '*',
    // On a plain K-line cable: the line's own bytes and edges.
    KLineSent = 'T',
    KLineReceived = 'R',
    KLineEdge = 'E',
};

struct Chunk {
    int64_t ms = 0;
    int micros = 0; // 0 to 999 past ms; kept for the K-line kinds only
    Direction direction = Direction::Event;
    QByteArray bytes; // unescaped; an event's text in UTF-8; a K-line edge's text
    bool isKLine() const { return char(direction) >= 'A' && char(direction) <= 'Z'; }
};

// A K-line edge's text.
inline constexpr char BreakWord[] = "break";
inline constexpr char ReleaseWord[] = "release";

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

// Reads a recording, plain or compressed; nothing, with the reason in error,
// when the file cannot be read, is larger than MaxBytes unpacked or does not
// start with FirstLine.
std::optional<File> read(const QString& path, QString* error = nullptr);
File parse(const QByteArray& text);
// The text of a recording file, unpacked when it is compressed; nothing, with
// the reason, when it cannot be read or passes maxBytes. A text that does not
// start with mustStartWith is returned as far as it was read.
std::optional<QByteArray> load(const QString& path, qint64 maxBytes, QString* error = nullptr,
                               QByteArrayView mustStartWith = {});

// Whether path names a file that starts like a recording, in either form.
bool looksLikeRecording(const QString& path);

// Compresses from into to, a file this call creates (never one that exists);
// false with the system's reason when it cannot, and then to is not left.
bool compress(const QString& from, const QString& to, QString* error);

} // namespace Recording
