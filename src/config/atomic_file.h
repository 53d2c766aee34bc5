#pragma once
// Putting a file in place whole or not at all. The bytes go to a temporary
// file beside it; only when every write, the sync to disk and the close have
// succeeded is it renamed over the old one. On any failure the temporary file
// is removed and the old file, if any, is left exactly as it was: a full disk
// never turns a user's file into an empty one.
#include <QByteArray>
#include <QString>
#include <sys/types.h>

enum class AtomicWriteMode {
    Replace,    // an existing file of the name is replaced
    CreateOnly, // an existing file of the name wins and is kept
};

struct AtomicWriteResult {
    bool written = false; // the file now holds the bytes given
    bool existed = false; // CreateOnly: another file of the name was there first
    QString reason;       // the system's reason when neither holds

    explicit operator bool() const { return written; }
};

AtomicWriteResult WriteFileAtomically(const QString& path, const QByteArray& bytes,
                                      AtomicWriteMode mode = AtomicWriteMode::Replace,
                                      mode_t permissions = 0600);

// Where the writes go instead of ::write, so that tests can fill the disk.
using AtomicWriteFunction = ssize_t (*)(int fd, const void* data, size_t size);
void SetAtomicWriteFunction(AtomicWriteFunction write);
