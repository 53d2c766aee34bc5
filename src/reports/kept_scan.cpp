#include "reports/kept_scan.h"

#include "config/atomic_file.h"
#include "config/user_data.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
// A car name as part of a file name: no folder separators, no blanks.
QString FileNamePart(const QString& text) {
    QString out;
    for (const QChar c : text.trimmed())
        out += (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('.'))
                   ? c
                   : QLatin1Char('_');
    return out;
}
} // namespace

KeptScan SaveScanReport(const QString& report, const QString& carName, const QDateTime& started) {
    const QString folder = UserDataPath(QStringLiteral("scans"));
    QString base = started.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    if (!carName.trimmed().isEmpty())
        base += QLatin1Char('_') + FileNamePart(carName);
    // Two searches in one second keep two reports.
    // A folder that cannot be made shows in the file's own reason below.
    MakePrivateFolder(folder);
    // The name is taken by making the file, mode 0600, never by looking first:
    // two instances in one second keep apart, and the save below keeps the mode.
    KeptScan kept;
    kept.path = folder + QLatin1Char('/') + base + QStringLiteral(".txt");
    for (int n = 2; n < 1000; ++n) {
        const int fd = ::open(QFile::encodeName(kept.path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        if (errno != EEXIST)
            break;
        kept.path = folder + QLatin1Char('/') + base + QStringLiteral("-%1.txt").arg(n);
    }

    const AtomicWriteResult written =
        WriteFileAtomically(kept.path, (report + QLatin1Char('\n')).toUtf8());
    if (!written) {
        kept.failure = QDir::toNativeSeparators(kept.path) + QStringLiteral(": ") + written.reason;
        // No empty report left behind for a list of kept scans to trip over.
        if (QFileInfo(kept.path).size() == 0)
            QFile::remove(kept.path);
    }
    return kept;
}

ScanFaultRead ScanFaultReadOf(FaultReadOutcome outcome) {
    switch (outcome) {
    case FaultReadOutcome::Found:
        return ScanFaultRead::Found;
    case FaultReadOutcome::Empty:
        return ScanFaultRead::Empty;
    case FaultReadOutcome::Unsupported:
        return ScanFaultRead::Unsupported;
    case FaultReadOutcome::Refused:
        break;
    }
    return ScanFaultRead::Refused;
}

QStringList KeptUnitLines(QStringList shown, ScanFaultRead read) {
    const qsizetype at = std::max<qsizetype>(0, shown.size() - 2);
    shown.insert(at, ScanMark::FaultRead(read));
    return shown;
}
