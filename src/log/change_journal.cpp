#include "log/change_journal.h"

#include "config/bounded_file.h"
#include "config/journal_texts.h"
#include "config/strings.h"
#include "log/log_reader.h"

#include "config/user_data.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString CodingWord = QStringLiteral("coding");
const QString ChannelWords = QStringLiteral("adaptation channel ");
const QString UndoWord = QStringLiteral("undo");

const char* const StageWords[] = {"sent", "accepted", "refused", "applied", "not applied"};

// Lines of journals that kept no more than the part number have this many.
constexpr int OldCells = 10;

std::atomic<ChangeJournalFile::WriteFunction> Writer{&::write};

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

QString SystemReason(int error) {
    return QString::fromLocal8Bit(strerror(error));
}

bool SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The length of the file up to and with its last line end (a crash may have
// left a line without one); -1 when it cannot be read.
off_t WholeLinesLength(int fd, off_t size) {
    char buffer[4096];
    off_t end = size;
    while (end > 0) {
        const off_t from = std::max<off_t>(0, end - off_t(sizeof buffer));
        const ssize_t n = ::pread(fd, buffer, size_t(end - from), from);
        if (n <= 0)
            return -1;
        for (ssize_t i = n - 1; i >= 0; --i)
            if (buffer[i] == '\n')
                return from + i + 1;
        end = from;
    }
    return 0;
}

// Whether a result line belongs to an open "sent" line.
bool Completes(const JournalEntry& result, const JournalEntry& sent) {
    return result.address == sent.address && result.partNumber == sent.partNumber &&
           result.channel == sent.channel && result.before == sent.before &&
           result.requested == sent.requested && result.undo == sent.undo &&
           result.identified == sent.identified &&
           (!result.identified || result.identity() == sent.identity());
}

} // namespace

QString UnitIdentity::clean(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c.unicode() < 0x20)
            c = QLatin1Char(' ');
    return out.trimmed();
}

UnitIdentity UnitIdentity::fromIdentification(const QString& vagTyp, const QString& part,
                                              const QString& zusatz, const QString& ext,
                                              const QString& imp) {
    // "Gerät: 0001234" and "Tool: 0001234" are the same unit.
    auto digits = [](const QString& labelled) {
        const qsizetype colon = labelled.lastIndexOf(QLatin1Char(':'));
        return clean(colon < 0 ? labelled : labelled.mid(colon + 1));
    };
    return {clean(vagTyp), clean(part), clean(zusatz), digits(ext), digits(imp)};
}

UnitIdentity JournalEntry::identity() const {
    return {UnitIdentity::clean(partNumber), UnitIdentity::clean(component),
            UnitIdentity::clean(extra), deviceNumber, importer};
}

void JournalEntry::setIdentity(const UnitIdentity& unit) {
    identified = true;
    partNumber = unit.partNumber;
    component = unit.component;
    extra = unit.extra;
    deviceNumber = unit.deviceNumber;
    importer = unit.importer;
}

namespace ChangeJournal {

QString HeaderLine(int languageOffset) {
    return LoadStr(TeamText::JournalHeader + languageOffset);
}

QString FormatLine(const JournalEntry& e) {
    QStringList cells = {
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
    if (e.identified)
        cells << Cell(e.component) << Cell(e.extra) << Cell(e.deviceNumber) << Cell(e.importer)
              << Cell(e.codingBefore) << Cell(e.workshopBefore) << Cell(e.codingAfter)
              << Cell(e.workshopAfter);
    // The closing ";" keeps the last cell when it is empty: a line with the
    // identification never reads as one without.
    return cells.join(QLatin1Char(';')) + (e.identified ? QStringLiteral(";") : QString());
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
    if (cells.size() > OldCells) {
        e.identified = true;
        e.component = cells.value(10);
        e.extra = cells.value(11);
        e.deviceNumber = cells.value(12);
        e.importer = cells.value(13);
        e.codingBefore = cells.value(14);
        e.workshopBefore = cells.value(15);
        e.codingAfter = cells.value(16);
        e.workshopAfter = cells.value(17);
    }
    return e;
}

ReadResult ParseText(const QString& text) {
    ReadResult result;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        const int number = int(i + 1);
        if (i + 1 == lines.size()) {
            // After the last line end: nothing, or a line cut off.
            if (!line.isEmpty())
                result.cutLine = number;
            break;
        }
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        if (const auto e = ParseLine(line))
            result.entries << *e;
        else if (i > 0) // the first is the header, in whichever language it was written
            result.badLines << number;
    }
    return result;
}

bool SameValue(const QString& a, const QString& b) {
    bool okA = false, okB = false;
    const qlonglong na = a.trimmed().toLongLong(&okA);
    const qlonglong nb = b.trimmed().toLongLong(&okB);
    if (okA && okB)
        return na == nb;
    return a.trimmed() == b.trimmed();
}

bool SameUnit(const JournalEntry& entry, const UnitNow& unit) {
    return entry.identified && entry.address == unit.address && entry.identity() == unit.identity;
}

QString Change::after() const {
    if (result && !result->readBack.isEmpty())
        return result->readBack;
    return sent.requested;
}

QList<Change> Changes(const QList<JournalEntry>& entries) {
    QList<Change> changes;
    for (const JournalEntry& e : entries) {
        if (!e.hasResult()) {
            changes.append({e, std::nullopt});
            continue;
        }
        auto open = std::find_if(changes.rbegin(), changes.rend(), [&e](const Change& c) {
            return c.open() && Completes(e, c.sent);
        });
        if (open != changes.rend())
            open->result = e;
        else
            changes.append({e, e});
    }
    return changes;
}

UndoState UndoFor(const QList<JournalEntry>& entries, const UnitNow& unit, bool adaptation,
                  const std::function<std::optional<QString>(int channel)>& present) {
    const QList<Change> changes = Changes(entries);
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
        const JournalEntry& sent = it->sent;
        if (sent.isCoding() == adaptation || sent.address != unit.address ||
            UnitIdentity::clean(sent.partNumber) != unit.identity.partNumber)
            continue;
        if (!sent.identified) {
            // Maybe another car of the model: shown, never undone.
            if (it->changedTheUnit() || it->open())
                return {UndoState::Offer::NotIdentified, *it};
            continue;
        }
        if (!SameUnit(sent, unit))
            continue; // another car with the same part number
        if (it->open())
            return {UndoState::Offer::ResultOpen, *it};
        if (!it->changedTheUnit())
            continue; // refused: nothing changed, the one before still stands
        const std::optional<QString> now = sent.isCoding()
                                               ? std::optional<QString>(unit.coding)
                                               : (present ? present(sent.channel) : std::nullopt);
        if (now && !SameValue(*now, it->after()))
            return {UndoState::Offer::ValueMoved, *it};
        return {UndoState::Offer::Undo, *it};
    }
    return {};
}

bool IsUndoable(const Change& change, const UnitNow& unit, const QString& presentValue) {
    return SameUnit(change.sent, unit) && change.changedTheUnit() &&
           SameValue(presentValue, change.after());
}

QList<JournalEntry> OpenChanges(const QList<JournalEntry>& entries, const UnitNow& unit) {
    QList<JournalEntry> open;
    for (const Change& c : Changes(entries))
        if (c.open() && SameUnit(c.sent, unit))
            open << c.sent;
    return open;
}

JournalEntry Completion(const JournalEntry& sent, const UnitNow& unit, const QString& presentValue,
                        const QDateTime& now) {
    JournalEntry done = sent;
    done.time = now;
    done.stage = SameValue(presentValue, sent.requested) ? JournalEntry::Stage::Applied
                                                         : JournalEntry::Stage::NotApplied;
    done.readBack = presentValue;
    done.codingAfter = unit.coding;
    done.workshopAfter = unit.workshopCode;
    return done;
}

std::optional<JournalEntry> LastAccepted(const QList<JournalEntry>& entries, int address,
                                         const QString& partNumber, bool adaptation) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->changedTheUnit() && it->address == address && it->partNumber == partNumber &&
            it->isCoding() != adaptation)
            return *it;
    return std::nullopt;
}

} // namespace ChangeJournal

void ChangeJournalFile::setWriteFunction(WriteFunction write) {
    Writer = write ? write : &::write;
}

bool ChangeJournalFile::append(const JournalEntry& entry, QString* error) const {
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    const QFileInfo info(m_path);
    // A folder that cannot be made shows in the open's own reason below.
    MakePrivateFolder(info.absolutePath());
    const QByteArray name = QFile::encodeName(m_path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(SystemReason(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    // A second instance appends whole lines too, never in between.
    if (::flock(fd, LOCK_EX) != 0)
        return fail(SystemReason(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail(SystemReason(errno));
    if (S_ISDIR(st.st_mode))
        return fail(SystemReason(EISDIR));
    const bool created = st.st_size == 0;
    off_t length = st.st_size;
    const off_t whole = WholeLinesLength(fd, length);
    if (whole < 0)
        return fail(SystemReason(errno));
    if (whole != length) {
        if (::ftruncate(fd, whole) != 0)
            return fail(SystemReason(errno));
        length = whole;
    }

    QByteArray bytes;
    if (length == 0)
        bytes = m_header.toUtf8() + '\n';
    bytes += ChangeJournal::FormatLine(entry).toUtf8() + '\n';
    if (::lseek(fd, length, SEEK_SET) < 0)
        return fail(SystemReason(errno));
    // One write; a short one is retried only to learn the system's reason.
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = Writer.load()(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int why = n < 0 ? errno : ENOSPC;
            // No half line stays behind for the next entry to be merged into.
            if (::ftruncate(fd, length) == 0)
                ::fsync(fd);
            return fail(SystemReason(why));
        }
        done += n;
    }
    if (::fsync(fd) != 0) {
        const int why = errno;
        if (::ftruncate(fd, length) == 0)
            ::fsync(fd);
        return fail(SystemReason(why));
    }
    // A new file is only safe once its folder entry is on the disk too.
    if (created && !SyncFolder(info.absolutePath()))
        return fail(SystemReason(errno));
    return true;
}

ChangeJournal::ReadResult ChangeJournalFile::readAll(QString* error) const {
    if (!QFileInfo::exists(m_path))
        return {};
    // A folder, a device or an endless file in its place is refused with
    // its reason, never read to the limit as one cut line.
    const BoundedRead read = ReadBoundedFile(m_path, MaxBytes);
    if (read.refusal) {
        if (error)
            *error = read.refusal.text(EnglishStringOffset);
        return {};
    }
    return ChangeJournal::ParseText(QString::fromUtf8(read.bytes));
}
