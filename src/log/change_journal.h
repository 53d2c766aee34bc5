#pragma once
// The change journal: one line before every coding write or adaptation save
// goes out, one after the unit's answer, so that every change made to a car
// can be found and undone later. A ";"-separated text file (UTF-8) with a
// header line, one change per two lines.
//
// Every line names the unit it was made to: its address, part number and
// the rest of its identification (the immobiliser or serial text is among
// the extra lines where the unit gives one), and the unit's coding and
// workshop code before and after. Lines of older journals carry no more than
// the part number; they are read and shown, but never undone, for every car
// of a model has the same part number.
//
// A change whose result line never came (the link dropped, the program was
// killed after "sent") stays open until the unit's value is read back at a
// later connection; then a line "applied" or "not applied" completes it.
#include "config/strings.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <sys/types.h>

// Who a unit is, as its identification says; every text with its line ends
// turned into blanks and trimmed, so that it reads back as written.
struct UnitIdentity {
    QString partNumber;   // "036 906 034 AM"
    QString component;    // identification lines 2 and 3
    QString extra;        // lines 4 and later: immobiliser or serial text
    QString deviceNumber; // digits only, as the language labels them differently
    QString importer;     // digits only

    static QString clean(const QString& text);
    // From the identification record's texts; EXT and IMP lose their label.
    static UnitIdentity fromIdentification(const QString& vagTyp, const QString& part,
                                           const QString& zusatz, const QString& ext,
                                           const QString& imp);
    bool operator==(const UnitIdentity&) const = default;
};

struct JournalEntry {
    // Applied and NotApplied complete a change whose result was unknown,
    // from the value read back at a later connection.
    enum class Stage { Sent, Accepted, Refused, Applied, NotApplied };

    QDateTime time;
    int address = 0;      // the unit's address
    QString partNumber;   // the unit's part number (VAG type number)
    QString workshopCode; // sent with a coding; the unit's own for an adaptation
    int channel = -1;     // -1: the coding; otherwise the adaptation channel
    QString before;       // the value the unit had
    QString requested;    // the value sent
    Stage stage = Stage::Sent;
    QString readBack;  // the value the unit reported after the change, where one is read
    bool undo = false; // the change put an earlier value back

    // The rest of the unit's identification; identified is false for lines
    // of journals written before it was kept.
    bool identified = false;
    QString component, extra, deviceNumber, importer;
    QString codingBefore, workshopBefore; // the unit's, before the change
    QString codingAfter, workshopAfter;   // after it; empty while unknown

    bool isCoding() const { return channel < 0; }
    bool changedTheUnit() const { return stage == Stage::Accepted || stage == Stage::Applied; }
    bool hasResult() const { return stage != Stage::Sent; }
    UnitIdentity identity() const;
    void setIdentity(const UnitIdentity& unit);
};

namespace ChangeJournal {

// The column names in the language of the offset (0 German, 10000 English).
// Readers take the first line as the header whatever its language: journals
// of every language and age read alike.
QString HeaderLine(int languageOffset);
QString FormatLine(const JournalEntry& entry);
// nullopt for a header and for lines of any other form.
std::optional<JournalEntry> ParseLine(const QString& line);

struct ReadResult {
    QList<JournalEntry> entries;
    // 1-based number of a last line without its line end (cut off by a full
    // disk or a crash), skipped; 0 when the file ends cleanly.
    int cutLine = 0;
    // Lines that are not entries (the header excepted), 1-based.
    QList<int> badLines;
};
ReadResult ParseText(const QString& text);

// The same values: equal as numbers where both are ("01262" and "1262").
bool SameValue(const QString& a, const QString& b);

// The unit as it is now, from this connection's identification.
struct UnitNow {
    int address = 0;
    UnitIdentity identity;
    QString coding;       // its coding now
    QString workshopCode; // its workshop code now
};

// Whether a journal line was written about this very unit: same address and
// the same identification lines (part number, component, extra lines with
// the immobiliser or serial text, device and importer numbers).
bool SameUnit(const JournalEntry& entry, const UnitNow& unit);

// One change: its "sent" line with the result line that completes it, if any.
struct Change {
    JournalEntry sent;                  // the "sent" line (or the result alone)
    std::optional<JournalEntry> result; // accepted, refused, applied or not applied
    bool open() const { return !result; }
    bool changedTheUnit() const { return result && result->changedTheUnit(); }
    // The value the unit holds after it: what it reported, or what was sent.
    QString after() const;
};
// The journal's lines paired into changes, in file order. A result line
// completes the newest open change of the same unit, kind, channel and
// values; one without such a change stands alone.
QList<Change> Changes(const QList<JournalEntry>& entries);

// What the page may offer for the unit's coding (channel -1) or its
// adaptation (any channel: channel -2).
struct UndoState {
    enum class Offer {
        Nothing,      // no change to this unit on record
        Undo,         // change may be undone: the unit holds its "after" value
        ValueMoved,   // the unit holds another value than the change left
        ResultOpen,   // the newest change has no result yet: read the value back first
        NotIdentified // the change was journalled without the unit's identification
    };
    Offer offer = Offer::Nothing;
    std::optional<Change> change; // the change shown (and undone with Undo)
};
// present: the unit's value now of change's channel; nullopt when it has not
// been read (an adaptation channel the page does not show). Without it the
// offer is Undo on the condition that the caller reads the value back and
// checks IsUndoable before it writes.
UndoState UndoFor(const QList<JournalEntry>& entries, const UnitNow& unit, bool adaptation,
                  const std::function<std::optional<QString>(int channel)>& present);

// The guard at the moment of the undo: the unit is the one of the change and
// holds the value the change left.
bool IsUndoable(const Change& change, const UnitNow& unit, const QString& presentValue);

// The open changes of this unit, oldest first: each needs its value read back.
QList<JournalEntry> OpenChanges(const QList<JournalEntry>& entries, const UnitNow& unit);
// The line that completes an open change once the unit's value is read
// back: applied when the unit holds the value sent, otherwise not applied.
JournalEntry Completion(const JournalEntry& sent, const UnitNow& unit, const QString& presentValue,
                        const QDateTime& now);

// The newest change the unit (address and part number) accepted: its coding,
// or any of its adaptation channels. Matches on the part number only: for
// showing a unit's history, never for an undo.
std::optional<JournalEntry> LastAccepted(const QList<JournalEntry>& entries, int address,
                                         const QString& partNumber, bool adaptation);

} // namespace ChangeJournal

class ChangeJournalFile {
public:
    // languageOffset: the language of the header a new file starts with.
    explicit ChangeJournalFile(const QString& path, int languageOffset = EnglishStringOffset)
        : m_path(path), m_header(ChangeJournal::HeaderLine(languageOffset)) {}
    // header: the line a new file starts with, worded by the front end.
    ChangeJournalFile(const QString& path, QString header)
        : m_path(path), m_header(header.isEmpty() ? ChangeJournal::HeaderLine(EnglishStringOffset)
                                                  : std::move(header)) {}
    QString path() const { return m_path; }

    // Appends one line in one write, creating the folder, and the file with
    // its header, when they are missing. When it returns true the line is on
    // the disk (synced); otherwise error holds the system's reason and the
    // file is cut back to the length it had, so no half line stays. A cut
    // last line that an earlier crash left is removed first: it never held a
    // whole entry, and the next line must not be merged into it.
    bool append(const JournalEntry& entry, QString* error) const;
    // Every entry of the file; none when it is missing or unreadable.
    QList<JournalEntry> read() const { return readAll().entries; }
    // The same with what was skipped; error holds the reason the file cannot
    // be read (empty when it is missing: nothing was journalled yet).
    ChangeJournal::ReadResult readAll(QString* error = nullptr) const;

    // The journal refuses to read more than this: years of changes fit.
    static constexpr qint64 MaxBytes = 16LL * 1024 * 1024;

    // The write(2) the file uses; tests put a short or failing one here.
    using WriteFunction = ssize_t (*)(int fd, const void* data, size_t size);
    static void setWriteFunction(WriteFunction write);

private:
    QString m_path;
    QString m_header;
};
