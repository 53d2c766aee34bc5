#pragma once
// The writes to a connected unit, without widgets: what is sent and in what
// order, and the change journal around every coding write and adaptation
// save: the "sent" line before anything goes out (no line, no write), the
// result line after the unit's answer, the read-back that completes a change
// whose result never came, and the guard of an undo: only onto the unit the
// change was made to, and only while it holds the value the change left.
// Both front ends drive it; they ask, confirm and word the outcomes.
#include "link/command_channel.h"
#include "log/change_journal.h"
#include "services/block_buffer.h"
#include "services/identification.h"

#include <QString>
#include <functional>
#include <optional>

// A whole decimal number as the user typed it; nullopt when it is none.
std::optional<int> DecimalNumber(const QString& text);
// Codings, workshop codes, login codes and adaptation values are words.
inline bool InWordRange(int value) {
    return value >= 0 && value <= 65535;
}

// The unit at address as the journal names it, from its identification.
ChangeJournal::UnitNow UnitNowOf(int address, const TecuID& identification);

// "10"+channel and its reply: the channel's value now; nullopt when refused.
// buffer holds the block after it (entry 1 is 0 when none came).
std::optional<QString> ReadAdaptationNow(CommandChannel& channel, int adaptationChannel,
                                         BlockBuffer& buffer);

// Told the moment the journal fails; the front end says so.
class ChangeJournalObserver {
public:
    virtual ~ChangeJournalObserver() = default;
    // The "sent" line did not reach the disk: nothing has been sent.
    virtual void journalSentUnwritten(const QString& reason) = 0;
    // A result line did not reach the disk: the change stays open until a
    // later connection reads the value back.
    virtual void journalResultUnwritten(const QString& reason) = 0;
};

// One step of the unit's output tests ("03").
struct OutputTestResult {
    enum class Kind {
        NoAnswer,   // the unit refused or gave no line
        Component,  // a component is driven now: code
        End,        // the last test is done
        Unreadable, // a line that is no component code
    };
    Kind kind = Kind::NoAnswer;
    int code = 0;
};
OutputTestResult StepOutputTests(CommandChannel& channel);

// "11"+code+the unit's workshop code; true when accepted. A workshop code
// that is no number throws EConvertError: nothing to log in with.
bool LogIn(CommandChannel& channel, int code, const QString& unitWorkshopCode);

class UnitChanges {
public:
    enum class Outcome {
        NotSent,  // the journal could not take the "sent" line
        Accepted, // the unit took the change
        Refused,  // the unit refused it
    };

    // Without an observer the journal's failures go unsaid (reading only).
    explicit UnitChanges(QString journalPath, ChangeJournalObserver* observer = nullptr)
        : m_path(std::move(journalPath)), m_observer(observer) {}
    // The user's journal, where the window keeps it.
    static QString DefaultJournalPath();
    const QString& journalPath() const { return m_path; }
    // The header line a new journal starts with, in the user's language.
    void setJournalHeader(QString header) { m_header = std::move(header); }
    QList<JournalEntry> entries() const { return ChangeJournalFile(m_path, m_header).read(); }

    struct CodingResult {
        Outcome outcome = Outcome::NotSent;
        TecuID answer; // the identification the unit answered with (Erfolg when accepted)
    };
    // "07": the unit answers with its new identification, which the result
    // line records. A link that drops after the request leaves the change
    // open in the journal, and the error goes on to the caller.
    CodingResult writeCoding(CommandChannel& channel, const ChangeJournal::UnitNow& unit,
                             int coding, int workshopCode, bool undo);
    // "10"+channel+value; before is the channel's value the user saw.
    Outcome saveAdaptation(CommandChannel& channel, const ChangeJournal::UnitNow& unit,
                           int adaptationChannel, int value, const QString& before, bool undo);

    // The channel's value now when the caller knows it without asking the unit.
    using ShownValue = std::function<std::optional<QString>(int adaptationChannel)>;
    // Asks the unit for a channel's value now; nullopt when it refused.
    using ReadValue = std::function<std::optional<QString>(int adaptationChannel)>;

    ChangeJournal::UndoState undoOffer(const ChangeJournal::UnitNow& unit, bool adaptation,
                                       const ShownValue& shown) const;

    // What an undo would do now, checked against the guard.
    struct UndoPlan {
        enum class Verdict {
            NotOffered, // no change of this unit may be undone (see offer)
            NotANumber, // the earlier value is none the unit could take
            ValueMoved, // the unit holds another value than the change left
            Ready,
        };
        Verdict verdict = Verdict::NotOffered;
        ChangeJournal::UndoState offer;
        int value = 0;        // the value put back
        QString now;          // the unit's value now
        int workshopCode = 0; // a coding's: the one the unit holds now signs it
        int channel = -1;     // -1 for the coding
    };
    UndoPlan planCodingUndo(const ChangeJournal::UnitNow& unit) const;
    // Reads the channel's value through read unless shown knows it.
    UndoPlan planAdaptationUndo(const ChangeJournal::UnitNow& unit, const ShownValue& shown,
                                const ReadValue& read) const;
    // Carries out a plan that is Ready.
    CodingResult undoCoding(CommandChannel& channel, const ChangeJournal::UnitNow& unit,
                            const UndoPlan& plan) {
        return writeCoding(channel, unit, plan.value, plan.workshopCode, true);
    }
    Outcome undoAdaptation(CommandChannel& channel, const ChangeJournal::UnitNow& unit,
                           const UndoPlan& plan) {
        return saveAdaptation(channel, unit, plan.channel, plan.value, plan.now, true);
    }

    // A change left open (the link dropped, the program was killed) and what
    // the value read back at this connection made of it.
    struct Resolution {
        JournalEntry open;
        QString now; // empty when it could not be read
        // Applied or NotApplied; nullopt when unread or its line unwritten.
        std::optional<JournalEntry::Stage> stage;
    };
    // Completes the unit's open changes from the values it holds now,
    // oldest first. A coding's is the unit's; a channel's is read.
    QList<Resolution> resolveOpenChanges(const ChangeJournal::UnitNow& unit, const ReadValue& read);

private:
    bool journalSent(JournalEntry& entry, const ChangeJournal::UnitNow& unit);
    void journalResult(JournalEntry entry, bool accepted, const QString& readBack,
                       const QString& codingAfter, const QString& workshopAfter);

    QString m_path;
    QString m_header; // empty: the English header
    ChangeJournalObserver* m_observer;
};
