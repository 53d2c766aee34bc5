#include "log/change_journal.h"

#include "log/log_reader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString CodingWord = QStringLiteral("coding");
const QString ChannelWords = QStringLiteral("adaptation channel ");
const QString UndoWord = QStringLiteral("undo");

const char* const StageWords[] = {"sent", "accepted", "refused"};

// Part numbers and values are plain, but a cell must never split a line.
QString Cell(const QString& text) {
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    quoted.replace(QLatin1Char('\r'), QLatin1Char(' '));
    quoted.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

namespace ChangeJournal {

QString HeaderLine() {
    return QStringLiteral("time;address;part number;workshop code;change;before;requested;"
                          "result;read back;note");
}

QString FormatLine(const JournalEntry& e) {
    const QStringList cells = {
        e.time.toString(TimeFormat),
        QString::number(e.address),
        Cell(e.partNumber),
        Cell(e.workshopCode),
        e.isCoding() ? CodingWord : ChannelWords + QString::number(e.channel),
        Cell(e.before),
        Cell(e.requested),
        QString::fromLatin1(StageWords[int(e.stage)]),
        Cell(e.readBack),
        e.undo ? UndoWord : QString(),
    };
    return cells.join(QLatin1Char(';'));
}

std::optional<JournalEntry> ParseLine(const QString& line) {
    const QStringList cells = SplitLogCells(line);
    if (cells.size() < 8)
        return std::nullopt;
    JournalEntry e;
    e.time = QDateTime::fromString(cells[0], TimeFormat);
    bool ok = false;
    e.address = cells[1].toInt(&ok);
    if (!e.time.isValid() || !ok)
        return std::nullopt;
    e.partNumber = cells[2];
    e.workshopCode = cells[3];
    if (cells[4] == CodingWord) {
        e.channel = -1;
    } else if (cells[4].startsWith(ChannelWords)) {
        e.channel = cells[4].mid(ChannelWords.size()).toInt(&ok);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    e.before = cells[5];
    e.requested = cells[6];
    const auto stage = std::find(std::begin(StageWords), std::end(StageWords), cells[7].toLatin1());
    if (stage == std::end(StageWords))
        return std::nullopt;
    e.stage = JournalEntry::Stage(stage - std::begin(StageWords));
    e.readBack = cells.value(8);
    e.undo = cells.value(9) == UndoWord;
    return e;
}

QList<JournalEntry> ParseText(const QString& text) {
    QList<JournalEntry> entries;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (const auto e = ParseLine(line))
            entries << *e;
    }
    return entries;
}

std::optional<JournalEntry> LastAccepted(const QList<JournalEntry>& entries, int address,
                                         const QString& partNumber, bool adaptation) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->stage == JournalEntry::Stage::Accepted && it->address == address &&
            it->partNumber == partNumber && it->isCoding() != adaptation)
            return *it;
    return std::nullopt;
}

} // namespace ChangeJournal

bool ChangeJournalFile::append(const JournalEntry& entry, QString* error) const {
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    const QFileInfo info(m_path);
    // A folder that cannot be made shows in the open's own reason below.
    QDir().mkpath(info.absolutePath());
    const bool existed = info.exists();
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail(file.errorString());
    QByteArray bytes;
    if (!existed || file.size() == 0)
        bytes = ChangeJournal::HeaderLine().toUtf8() + '\n';
    bytes += ChangeJournal::FormatLine(entry).toUtf8() + '\n';
    if (file.write(bytes) != bytes.size() || !file.flush())
        return fail(file.errorString());
    if (::fsync(file.handle()) != 0)
        return fail(QString::fromLocal8Bit(strerror(errno)));
    file.close();
    // A new file is only safe once its folder entry is on the disk too.
    if (!existed && !SyncFolder(info.absolutePath()))
        return fail(QString::fromLocal8Bit(strerror(errno)));
    return true;
}

QList<JournalEntry> ChangeJournalFile::read() const {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return ChangeJournal::ParseText(QString::fromUtf8(file.readAll()));
}
