#include "config/bounded_file.h"

#include "config/strings.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

QString ByteSizeText(qint64 bytes) {
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QString::number(bytes / (1024 * 1024)) + QStringLiteral(" MB");
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QString::number(bytes / 1024) + QStringLiteral(" kB");
    return QString::number(bytes) + QStringLiteral(" bytes");
}

QString FileRefusal::text(int languageOffset) const {
    switch (kind) {
    case None:
        return QString();
    case Missing:
        return LoadStr(ReaderText::FileMissing + languageOffset).arg(path);
    case Folder:
        return LoadStr(ReaderText::FileIsFolder + languageOffset).arg(path);
    case NotAFile:
        return LoadStr(ReaderText::FileNotAFile + languageOffset).arg(path);
    case TooLarge:
        return LoadStr(ReaderText::FileTooLarge + languageOffset).arg(path, ByteSizeText(limit));
    case TooMany:
        return LoadStr(ReaderText::FileTooManyEntries + languageOffset)
            .arg(path, QString::number(limit));
    case Unreadable:
        return LoadStr(ReaderText::FileUnreadable + languageOffset).arg(path, reason);
    }
    return QString();
}

BoundedRead ReadBoundedFile(const QString& path, qint64 maxBytes) {
    BoundedRead out;
    out.refusal.path = path;
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that a pipe without a writer cannot hold the open.
    const int fd =
        path.isEmpty() ? -1 : ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = path.isEmpty() ? ENOENT : errno;
        out.refusal.kind = error == ENOENT ? FileRefusal::Missing : FileRefusal::Unreadable;
        out.refusal.reason = systemReason(error);
        return out;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        out.refusal.kind = S_ISDIR(st.st_mode) ? FileRefusal::Folder : FileRefusal::Unreadable;
        out.refusal.reason = systemReason(errno);
        ::close(fd);
        return out;
    }
    if (S_ISREG(st.st_mode) && st.st_size > maxBytes) {
        out.refusal.kind = FileRefusal::TooLarge;
        out.refusal.limit = maxBytes;
        ::close(fd);
        return out;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // A regular file may still grow while it is read: the limit holds for
    // what is read, not only for what stat said.
    out.bytes.reserve(qsizetype(S_ISREG(st.st_mode) ? st.st_size + 1 : 4096));
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            out.refusal.kind = FileRefusal::Unreadable;
            out.refusal.reason = systemReason(errno);
            out.bytes.clear();
            break;
        }
        if (got == 0)
            break;
        if (out.bytes.size() + got > maxBytes) {
            out.refusal.kind = FileRefusal::TooLarge;
            out.refusal.limit = maxBytes;
            out.bytes = QByteArray();
            break;
        }
        out.bytes.append(chunk, qsizetype(got));
    }
    ::close(fd);
    return out;
}
