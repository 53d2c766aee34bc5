#pragma once
// The change journal: one line before every coding write or adaptation save
// goes out, one after the unit's answer, so that every change made to a car
// can be found and undone later. A ";"-separated text file (UTF-8) with a
// header line, one change per two lines.
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

struct JournalEntry {
    enum class Stage { Sent, Accepted, Refused };

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

    bool isCoding() const { return channel < 0; }
};

namespace ChangeJournal {

QString HeaderLine();
QString FormatLine(const JournalEntry& entry);
// nullopt for the header and for lines of any other form.
std::optional<JournalEntry> ParseLine(const QString& line);
QList<JournalEntry> ParseText(const QString& text);

// The newest change the unit (address and part number) accepted: its coding,
// or any of its adaptation channels.
std::optional<JournalEntry> LastAccepted(const QList<JournalEntry>& entries, int address,
                                         const QString& partNumber, bool adaptation);

} // namespace ChangeJournal

class ChangeJournalFile {
public:
    explicit ChangeJournalFile(const QString& path) : m_path(path) {}
    QString path() const { return m_path; }

    // Appends one line, creating the folder, and the file with its header,
    // when they are missing. When it returns true the line is on the disk
    // (flushed and synced); otherwise error holds the reason.
    bool append(const JournalEntry& entry, QString* error) const;
    // Every entry of the file; none when it is missing or unreadable.
    QList<JournalEntry> read() const;

private:
    QString m_path;
};
