// The change journal read back from any bytes, as text and as a file: every
// entry read writes back to a line that reads as the same entry, a cut last
// line is never an entry, and the undo rules take whatever was read.
#include "log/change_journal.h"
#include "fuzz_support.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid());
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);
    const ChangeJournal::ReadResult result = ChangeJournal::ParseText(text);
    const qsizetype lines = text.count(QLatin1Char('\n')) + 1;
    FUZZ_CHECK(result.entries.size() + result.badLines.size() <= lines);
    FUZZ_CHECK(result.cutLine == 0 || result.cutLine == lines);
    for (const JournalEntry& e : result.entries) {
        const QString line = ChangeJournal::FormatLine(e);
        const std::optional<JournalEntry> again = ChangeJournal::ParseLine(line);
        FUZZ_CHECK(again && ChangeJournal::FormatLine(*again) == line);
    }

    const QString path = dir.filePath(QStringLiteral("journal.csv"));
    QFile::remove(path);
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    const ChangeJournalFile file(path);
    QString error;
    const ChangeJournal::ReadResult fromFile = file.readAll(&error);
    FUZZ_CHECK(error.isEmpty() && fromFile.entries.size() == result.entries.size() &&
               fromFile.cutLine == result.cutLine);

    ChangeJournal::UnitNow unit;
    if (!result.entries.isEmpty()) {
        const JournalEntry& last = result.entries.last();
        unit.address = last.address;
        unit.identity = last.identity();
        unit.coding = last.codingAfter;
        unit.workshopCode = last.workshopAfter;
    }
    (void)ChangeJournal::Changes(result.entries);
    (void)ChangeJournal::OpenChanges(result.entries, unit);
    for (const bool adaptation : {false, true}) {
        (void)ChangeJournal::UndoFor(result.entries, unit, adaptation,
                                     [](int) { return std::optional<QString>(); });
        (void)ChangeJournal::LastAccepted(result.entries, unit.address, unit.identity.partNumber,
                                          adaptation);
    }

    // Appending after whatever was there leaves the new entry readable.
    JournalEntry added;
    added.time = QDateTime::fromSecsSinceEpoch(1700000000, QTimeZone::utc());
    added.address = 1;
    added.partNumber = QStringLiteral("036 906 034 AM");
    added.requested = QStringLiteral("01262");
    FUZZ_CHECK(file.append(added, &error));
    const ChangeJournal::ReadResult after = file.readAll(&error);
    FUZZ_CHECK(!after.entries.isEmpty() && after.cutLine == 0 &&
               ChangeJournal::FormatLine(after.entries.last()) == ChangeJournal::FormatLine(added));
    return 0;
}
