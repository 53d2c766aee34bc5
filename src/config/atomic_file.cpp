#include "config/atomic_file.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

AtomicWriteFunction writeFunction = &::write;

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// 0 when all bytes went out, else the system's error.
int writeAll(int fd, const QByteArray& bytes) {
    const char* at = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t n = writeFunction(fd, at, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        at += n;
        left -= size_t(n);
    }
    return 0;
}

// Moves temp to target unless another process made target first.
bool createOnly(const QByteArray& temp, const QByteArray& target) {
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A filesystem without it: a hard link fails just as well rather than replace.
    if (::link(temp.constData(), target.constData()) != 0)
        return false;
    ::unlink(temp.constData());
    return true;
}

} // namespace

void SetAtomicWriteFunction(AtomicWriteFunction write) {
    writeFunction = write ? write : &::write;
}

AtomicWriteResult WriteFileAtomically(const QString& path, const QByteArray& bytes,
                                      AtomicWriteMode mode, mode_t permissions) {
    AtomicWriteResult result;
    const QByteArray target = QFile::encodeName(path);
    // Beside the target, so that the rename stays within one filesystem.
    const QFileInfo info(path);
    QByteArray temp =
        QFile::encodeName(info.path() + QStringLiteral("/.") + info.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        result.reason = systemReason(errno);
        return result;
    }
    int why = ::fchmod(fd, permissions) == 0 ? 0 : errno;
    if (!why)
        why = writeAll(fd, bytes);
    // A delayed-allocation filesystem may say it is full only here.
    if (!why && ::fsync(fd) != 0 && errno != EINVAL)
        why = errno;
    if (::close(fd) != 0 && !why && errno != EINTR)
        why = errno;
    if (!why) {
        if (mode == AtomicWriteMode::Replace) {
            if (::rename(temp.constData(), target.constData()) == 0)
                result.written = true;
            else
                why = errno;
        } else if (createOnly(temp, target)) {
            result.written = true;
        } else if (errno == EEXIST) {
            result.existed = true;
        } else {
            why = errno;
        }
    }
    if (!result.written)
        ::unlink(temp.constData());
    if (why)
        result.reason = systemReason(why);
    return result;
}
