#pragma once
// Reading a whole file that comes from outside, within a size fitting its
// format: a folder, an endless device or a file far too large is refused with
// its reason instead of filling the memory or waiting forever.
#include <QByteArray>
#include <QString>

struct FileRefusal {
    enum Kind {
        None,
        Missing,    // no such file
        Folder,     // the path names a folder
        NotAFile,   // a device or a pipe where only a file will do
        TooLarge,   // more bytes than the format allows; limit in bytes
        TooMany,    // more entries, rows or columns than the format allows; limit in them
        Unreadable, // the system refused; reason holds its text
    };
    Kind kind = None;
    QString path;
    qint64 limit = 0;
    QString reason;

    explicit operator bool() const { return kind != None; }
    // One sentence in the chosen language that names the file and the reason.
    QString text(int languageOffset) const;
};

struct BoundedRead {
    QByteArray bytes;
    FileRefusal refusal;
};

// The file's bytes when it holds at most maxBytes. A pipe or device is read
// only up to one byte beyond the limit; a pipe without a writer reads as empty.
BoundedRead ReadBoundedFile(const QString& path, qint64 maxBytes);

// "16 MB", "64 kB", "512 bytes": a limit as a user reads it.
QString ByteSizeText(qint64 bytes);
