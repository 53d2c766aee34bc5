// The change journal's lines and its file on a real disk.
#include "log/change_journal.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/mount.h>

namespace {

JournalEntry Entry(int channel, const QString& before, const QString& requested,
                   JournalEntry::Stage stage, int address = 17,
                   const QString& part = "1J0 920 826 C") {
    JournalEntry e;
    e.time = QDateTime(QDate(2025, 3, 12), QTime(14, 22, 5));
    e.address = address;
    e.partNumber = part;
    e.workshopCode = "12345";
    e.channel = channel;
    e.before = before;
    e.requested = requested;
    e.stage = stage;
    return e;
}

using Stage = JournalEntry::Stage;
using Offer = ChangeJournal::UndoState::Offer;

// Two cars of one model: the same part number and component; the immobiliser
// text among the extra lines tells them apart where the unit gives one.
UnitIdentity Car(const QString& immobiliser) {
    return {"036 906 034 AM", "1,4l R4/4V MOT 3152", immobiliser, "0001234", "123"};
}

ChangeJournal::UnitNow Now(const UnitIdentity& car, const QString& coding, int address = 1) {
    return {address, car, coding, "12345"};
}

// A change as the window writes it: "sent", then its result unless nullopt.
QList<JournalEntry> Change(const UnitIdentity& car, int channel, const QString& before,
                           const QString& requested, std::optional<Stage> result,
                           const QString& readBack = {}, bool undo = false) {
    JournalEntry e = Entry(channel, before, requested, Stage::Sent, 1);
    e.setIdentity(car);
    e.undo = undo;
    e.codingBefore = channel < 0 ? before : "00033";
    e.workshopBefore = "12345";
    QList<JournalEntry> lines{e};
    if (result) {
        e.stage = *result;
        e.readBack = readBack;
        lines << e;
    }
    return lines;
}

std::optional<QString> NotRead(int) {
    return std::nullopt;
}

} // namespace

TEST(ChangeJournal, LinesReadBackAsWritten) {
    JournalEntry coding = Entry(-1, "01262", "1263", Stage::Accepted);
    coding.readBack = "01263";
    EXPECT_EQ(ChangeJournal::FormatLine(coding),
              "2025-03-12 14:22:05;17;1J0 920 826 C;12345;coding;01262;1263;accepted;01263;");
    JournalEntry undo = Entry(7, "40", "12", Stage::Sent);
    undo.undo = true;
    undo.partNumber = "odd;\"part\"";
    EXPECT_EQ(
        ChangeJournal::FormatLine(undo),
        "2025-03-12 14:22:05;17;\"odd;\"\"part\"\"\";12345;adaptation channel 7;40;12;sent;;undo");

    for (const JournalEntry& e : {coding, undo}) {
        const auto back = ChangeJournal::ParseLine(ChangeJournal::FormatLine(e));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->time, e.time);
        EXPECT_EQ(back->address, e.address);
        EXPECT_EQ(back->partNumber, e.partNumber);
        EXPECT_EQ(back->channel, e.channel);
        EXPECT_EQ(back->before, e.before);
        EXPECT_EQ(back->requested, e.requested);
        EXPECT_EQ(back->stage, e.stage);
        EXPECT_EQ(back->readBack, e.readBack);
        EXPECT_EQ(back->undo, e.undo);
    }
    for (int language : {0, EnglishStringOffset})
        EXPECT_FALSE(ChangeJournal::ParseLine(ChangeJournal::HeaderLine(language)));
    EXPECT_FALSE(ChangeJournal::ParseLine("2025-03-12 14:22:05;17;x;1;recoding;1;2;sent"));
}

TEST(ChangeJournal, TheLastAcceptedChangeOfTheUnitIsOffered) {
    const QList<JournalEntry> entries = {
        Entry(-1, "00001", "2", Stage::Sent),
        Entry(-1, "00001", "2", Stage::Accepted),
        Entry(3, "10", "11", Stage::Sent),
        Entry(3, "10", "11", Stage::Accepted),
        Entry(-1, "00002", "5", Stage::Sent),
        Entry(-1, "00002", "5", Stage::Refused),                    // refused: nothing changed
        Entry(-1, "00002", "9", Stage::Sent),                       // no answer recorded
        Entry(-1, "00007", "8", Stage::Accepted, 17, "other part"), // another car's unit
        Entry(-1, "00007", "8", Stage::Accepted, 1),                // another address
    };
    const auto coding = ChangeJournal::LastAccepted(entries, 17, "1J0 920 826 C", false);
    ASSERT_TRUE(coding);
    EXPECT_EQ(coding->before, "00001");
    EXPECT_EQ(coding->requested, "2");
    const auto adaptation = ChangeJournal::LastAccepted(entries, 17, "1J0 920 826 C", true);
    ASSERT_TRUE(adaptation);
    EXPECT_EQ(adaptation->channel, 3);
    EXPECT_FALSE(ChangeJournal::LastAccepted(entries, 2, "1J0 920 826 C", false));
}

TEST(ChangeJournalFile, CreatesItsFolderWritesAHeaderOnceAndAppends) {
    QTemporaryDir dir;
    const ChangeJournalFile journal(dir.filePath("data/vandrix/changes.csv"));
    EXPECT_TRUE(journal.read().isEmpty());
    QString error;
    ASSERT_TRUE(journal.append(Entry(-1, "1", "2", Stage::Sent), &error)) << error.toStdString();
    ASSERT_TRUE(journal.append(Entry(-1, "1", "2", Stage::Accepted), &error));
    QFile f(journal.path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4); // header, two entries, the empty rest after the last line end
    EXPECT_EQ(lines[0], ChangeJournal::HeaderLine(EnglishStringOffset).toUtf8());
    EXPECT_TRUE(lines[2].contains(";accepted;"));
    EXPECT_EQ(journal.read().size(), 2);
}

// A new journal starts with the header in the chosen language; a reader
// takes any first line that is no entry as the header, so a German journal,
// an English one and one of an older program read alike.
TEST(ChangeJournalFile, TheHeaderIsInTheChosenLanguageAndReadersDoNotDependOnIt) {
    JournalEntry identified = Entry(-1, "1", "2", Stage::Sent);
    identified.setIdentity(Car("VWZ7Z0W0123456"));
    const int cells = int(ChangeJournal::FormatLine(identified).count(';'));
    const QString olderHeader = QStringLiteral(
        "time;address;part number;workshop code;change;before;requested;result;read back;note");
    const struct {
        int language;
        const char* startsWith;
    } cases[] = {{0, "Zeit;Adresse;Teilenummer;"}, {EnglishStringOffset, "time;address;"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        QTemporaryDir dir;
        const ChangeJournalFile journal(dir.filePath("changes.csv"), c.language);
        QString error;
        ASSERT_TRUE(journal.append(identified, &error)) << error.toStdString();
        QFile f(journal.path());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString header = QString::fromUtf8(f.readLine()).chopped(1);
        EXPECT_EQ(header, ChangeJournal::HeaderLine(c.language));
        EXPECT_TRUE(header.startsWith(QLatin1String(c.startsWith))) << header.toStdString();
        // A name for every cell (the line's closing ";" ends the last).
        EXPECT_EQ(header.count(';') + 1, cells);
        // Either language's journal reads as one entry and nothing bad, also
        // when a program in the other language appends to it.
        ASSERT_TRUE(ChangeJournalFile(journal.path(), EnglishStringOffset - c.language)
                        .append(Entry(-1, "1", "2", Stage::Accepted), &error));
        const ChangeJournal::ReadResult read = journal.readAll();
        EXPECT_EQ(read.entries.size(), 2);
        EXPECT_TRUE(read.badLines.isEmpty()) << read.badLines.size();
    }
    // An older program's English header and a line that is no entry after it.
    const QString older = olderHeader + '\n' +
                          ChangeJournal::FormatLine(Entry(-1, "1", "2", Stage::Sent)) +
                          "\nnot an entry\n";
    const ChangeJournal::ReadResult read = ChangeJournal::ParseText(older);
    EXPECT_EQ(read.entries.size(), 1);
    EXPECT_EQ(read.badLines, QList<int>{3});
}

TEST(ChangeJournalFile, AJournalThatCannotBeWrittenSaysWhy) {
    QTemporaryDir dir;
    // A file where the folder should be, and a journal that is a folder.
    QFile blocker(dir.filePath("vandrix"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QDir(dir.path()).mkpath("folder/changes.csv");
    for (const QString& path :
         {dir.filePath("vandrix/changes.csv"), dir.filePath("folder/changes.csv")}) {
        QString error;
        EXPECT_FALSE(ChangeJournalFile(path).append(Entry(-1, "1", "2", Stage::Sent), &error))
            << path.toStdString();
        EXPECT_FALSE(error.isEmpty()) << path.toStdString();
    }
}

TEST(ChangeJournalFile, AJournalThatIsNoFileIsRefusedWithItsReason) {
    QTemporaryDir dir;
    const QString endless = dir.filePath("endless.csv");
    ASSERT_TRUE(QFile::link("/dev/zero", endless));
    QDir(dir.path()).mkpath("folder.csv");
    const struct {
        QString path, reason;
    } cases[] = {
        // Read to its limit this was one cut line and no reason.
        {endless, endless + " is larger than 16 MB and is not read"},
        {dir.filePath("folder.csv"), dir.filePath("folder.csv") + " is a folder, not a file"},
        {dir.filePath("missing.csv"), ""}, // nothing journalled yet
    };
    for (const auto& c : cases) {
        QString error;
        const ChangeJournal::ReadResult read = ChangeJournalFile(c.path).readAll(&error);
        EXPECT_TRUE(read.entries.isEmpty() && read.badLines.isEmpty() && read.cutLine == 0)
            << c.path.toStdString();
        EXPECT_EQ(error, c.reason);
    }
}

// The identity and the unit's codes before and after read back as written;
// a line of an older journal reads with no identity at all.
TEST(ChangeJournal, IdentityReadsBackAndOldLinesHaveNone) {
    JournalEntry e = Change(Car("IMMO-IDENTIFIKATION VWZ7Z0W0123456"), -1, "00033", "00040",
                            Stage::Accepted, "00040")[1];
    e.codingAfter = "00040";
    e.workshopAfter = "12345";
    const auto back = ChangeJournal::ParseLine(ChangeJournal::FormatLine(e));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->identified);
    EXPECT_EQ(back->identity(), e.identity());
    EXPECT_EQ(back->codingBefore, "00033");
    EXPECT_EQ(back->codingAfter, "00040");
    EXPECT_EQ(back->workshopAfter, "12345");
    const auto old = ChangeJournal::ParseLine(
        "2025-03-12 14:22:05;1;036 906 034 AM;12345;coding;00033;00040;accepted;00040;");
    ASSERT_TRUE(old);
    EXPECT_FALSE(old->identified);
    // A unit that gives little: every identification cell after the part
    // number empty, and still a line with identification.
    JournalEntry bare = Entry(-1, "1", "2", Stage::Sent);
    bare.setIdentity({"036 906 034 AM", "", "", "", ""});
    const auto bareBack = ChangeJournal::ParseLine(ChangeJournal::FormatLine(bare));
    ASSERT_TRUE(bareBack);
    EXPECT_TRUE(bareBack->identified);
    // The identification as the unit sends it: line 3 with its CR, the
    // labelled device and importer numbers of either language.
    EXPECT_EQ(UnitIdentity::fromIdentification("036 906 034 AM", "1,4l R4/4V MOT\r3152\r", "IMMO  ",
                                               "Gerät: 0001234", "Importeur: 123"),
              UnitIdentity::fromIdentification("036 906 034 AM", "1,4l R4/4V MOT 3152", "IMMO",
                                               "Tool: 0001234", "Importer: 123"));
}

// Undo goes only onto the change it undoes: this unit, holding the value the
// change left, with the change's result on record.
TEST(ChangeJournal, UndoIsOfferedOnlyOntoTheChangeItUndoes) {
    const UnitIdentity first = Car("IMMO VWZ7Z0W0000001");
    const UnitIdentity second = Car("IMMO VWZ7Z0W0000002");
    const UnitIdentity plain = Car(""); // a unit without immobiliser text
    const QList<JournalEntry> accepted =
        Change(first, -1, "00033", "00040", Stage::Accepted, "00040");
    const QList<JournalEntry> plainAccepted =
        Change(plain, -1, "00033", "00040", Stage::Accepted, "00040");
    struct Case {
        const char* what;
        QList<JournalEntry> journal;
        ChangeJournal::UnitNow unit;
        Offer offer;
        QString undoneTo; // the "before" of the change shown
    } cases[] = {
        {"the same car, unchanged since", accepted, Now(first, "00040"), Offer::Undo, "00033"},
        {"the same car, recoded since", accepted, Now(first, "01234"), Offer::ValueMoved, "00033"},
        {"another car of the model", accepted, Now(second, "00040"), Offer::Nothing, ""},
        {"another address", accepted, Now(first, "00040", 9), Offer::Nothing, ""},
        {"no immobiliser text: the value guards", plainAccepted, Now(plain, "01234"),
         Offer::ValueMoved, "00033"},
        {"no immobiliser text, value as left", plainAccepted, Now(plain, "00040"), Offer::Undo,
         "00033"},
        {"a refused change leaves the one before",
         accepted + Change(first, -1, "00040", "00050", Stage::Refused), Now(first, "00040"),
         Offer::Undo, "00033"},
        // The result of 00040 -> 00050 was never recorded: undo must not
        // offer 00033, two changes back.
        {"result open", accepted + Change(first, -1, "00040", "00050", std::nullopt),
         Now(first, "00050"), Offer::ResultOpen, "00040"},
        {"result read back: applied",
         accepted + Change(first, -1, "00040", "00050", Stage::Applied, "00050"),
         Now(first, "00050"), Offer::Undo, "00040"},
        {"result read back: not applied",
         accepted + Change(first, -1, "00040", "00050", Stage::NotApplied, "00040"),
         Now(first, "00040"), Offer::Undo, "00033"},
        {"an undo is undone to its own before",
         accepted + Change(first, -1, "00040", "00033", Stage::Accepted, "00033", true),
         Now(first, "00033"), Offer::Undo, "00040"},
    };
    for (const Case& c : cases) {
        const ChangeJournal::UndoState s =
            ChangeJournal::UndoFor(c.journal, c.unit, false, NotRead);
        EXPECT_EQ(s.offer, c.offer) << c.what;
        EXPECT_EQ(s.change ? s.change->sent.before : QString(), c.undoneTo) << c.what;
        if (s.change) {
            EXPECT_EQ(ChangeJournal::IsUndoable(*s.change, c.unit, c.unit.coding),
                      c.offer == Offer::Undo)
                << c.what;
        }
    }
    // An old journal's line: shown, never undone.
    const auto old = *ChangeJournal::ParseLine(
        "2025-03-12 14:22:05;1;036 906 034 AM;12345;coding;00033;00040;accepted;00040;");
    const ChangeJournal::UndoState s =
        ChangeJournal::UndoFor({old}, Now(first, "00040"), false, NotRead);
    EXPECT_EQ(s.offer, Offer::NotIdentified);
}

TEST(ChangeJournal, AdaptationUndoKnowsTheChannelsValueOnlyWhenRead) {
    const UnitIdentity car = Car("IMMO 1");
    const QList<JournalEntry> journal = Change(car, 2, "300", "500", Stage::Accepted);
    const auto onPage = [](const QString& value) {
        return [value](int channel) -> std::optional<QString> {
            if (channel == 2)
                return value;
            return std::nullopt;
        };
    };
    EXPECT_EQ(ChangeJournal::UndoFor(journal, Now(car, "00033"), true, onPage("500")).offer,
              Offer::Undo);
    EXPECT_EQ(ChangeJournal::UndoFor(journal, Now(car, "00033"), true, onPage("450")).offer,
              Offer::ValueMoved);
    // Not on the page: offered, and the value is read and checked on the click.
    const auto s = ChangeJournal::UndoFor(journal, Now(car, "00033"), true, NotRead);
    ASSERT_EQ(s.offer, Offer::Undo);
    EXPECT_EQ(s.change->sent.channel, 2);
    EXPECT_TRUE(ChangeJournal::IsUndoable(*s.change, Now(car, "00033"), "500"));
    EXPECT_FALSE(ChangeJournal::IsUndoable(*s.change, Now(car, "00033"), "450"));
    EXPECT_FALSE(ChangeJournal::IsUndoable(*s.change, Now(car, "00033"), ""));
    // The coding's history does not answer for the adaptation's.
    EXPECT_EQ(ChangeJournal::UndoFor(journal, Now(car, "00033"), false, NotRead).offer,
              Offer::Nothing);
}

// A change without its result is completed from the value read back.
TEST(ChangeJournal, OpenChangesAreCompletedFromTheValueReadBack) {
    const UnitIdentity car = Car("IMMO 1");
    QList<JournalEntry> journal = Change(car, -1, "00033", "00040", Stage::Accepted, "00040") +
                                  Change(car, -1, "00040", "00050", std::nullopt) +
                                  Change(Car("IMMO 2"), -1, "00001", "00002", std::nullopt);
    const ChangeJournal::UnitNow unit = Now(car, "00050");
    const QList<JournalEntry> open = ChangeJournal::OpenChanges(journal, unit);
    ASSERT_EQ(open.size(), 1); // not the other car's
    EXPECT_EQ(open[0].requested, "00050");
    const QDateTime now(QDate(2025, 3, 13), QTime(8, 0));
    const JournalEntry applied = ChangeJournal::Completion(open[0], unit, "00050", now);
    EXPECT_EQ(applied.stage, Stage::Applied);
    EXPECT_EQ(applied.codingAfter, "00050");
    EXPECT_EQ(ChangeJournal::Completion(open[0], Now(car, "00040"), "00040", now).stage,
              Stage::NotApplied);
    // Written and read back, the completion closes the change.
    journal << *ChangeJournal::ParseLine(ChangeJournal::FormatLine(applied));
    EXPECT_TRUE(ChangeJournal::OpenChanges(journal, unit).isEmpty());
    const auto s = ChangeJournal::UndoFor(journal, unit, false, NotRead);
    EXPECT_EQ(s.offer, Offer::Undo);
    EXPECT_EQ(s.change->sent.before, "00040");
}

// A last line without its line end is reported and skipped; the next entry
// never joins it.
TEST(ChangeJournalFile, ACutLastLineIsSkippedAndNeverMergedWithTheNext) {
    QTemporaryDir dir;
    const ChangeJournalFile journal(dir.filePath("changes.csv"));
    QString error;
    ASSERT_TRUE(journal.append(Entry(-1, "1", "2", Stage::Sent), &error));
    const QByteArray whole = [&] {
        QFile f(journal.path());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    // A crash in the middle of the result line.
    const QByteArray cut =
        ChangeJournal::FormatLine(Entry(-1, "1", "2", Stage::Accepted)).toUtf8().left(50);
    {
        QFile f(journal.path());
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(cut);
    }
    ChangeJournal::ReadResult read = journal.readAll();
    EXPECT_EQ(read.entries.size(), 1);
    EXPECT_EQ(read.cutLine, 3);
    ASSERT_TRUE(journal.append(Entry(-1, "1", "2", Stage::Refused), &error));
    read = journal.readAll();
    ASSERT_EQ(read.entries.size(), 2);
    EXPECT_EQ(read.entries[1].stage, Stage::Refused);
    EXPECT_EQ(read.cutLine, 0);
    EXPECT_TRUE(read.badLines.isEmpty());
    QFile f(journal.path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              whole + ChangeJournal::FormatLine(Entry(-1, "1", "2", Stage::Refused)).toUtf8() +
                  '\n');
}

namespace {
// A disk that takes `room` more bytes, then is full.
qsizetype Room = 0;
ssize_t FullDiskWrite(int fd, const void* data, size_t size) {
    if (Room <= 0) {
        errno = ENOSPC;
        return -1;
    }
    const size_t n = std::min(size, size_t(Room));
    Room -= qsizetype(n);
    return ::write(fd, data, n);
}

QByteArray Contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// After a refused append the file is as it was, and the reason is the system's.
void ExpectFullDiskRefusal(const ChangeJournalFile& journal) {
    const QByteArray before = Contents(journal.path());
    QString error;
    EXPECT_FALSE(journal.append(Entry(-1, "00033", "00040", Stage::Accepted), &error));
    EXPECT_EQ(error, QString::fromLocal8Bit(strerror(ENOSPC)));
    EXPECT_EQ(Contents(journal.path()), before);
    const ChangeJournal::ReadResult read = journal.readAll();
    EXPECT_EQ(read.cutLine, 0);
    EXPECT_TRUE(read.badLines.isEmpty());
}
} // namespace

TEST(ChangeJournalFile, AShortWriteIsCutBackAndSaysWhy) {
    QTemporaryDir dir;
    const ChangeJournalFile journal(dir.filePath("changes.csv"));
    QString error;
    ASSERT_TRUE(journal.append(Entry(-1, "00033", "00040", Stage::Sent), &error));
    ChangeJournalFile::setWriteFunction(&FullDiskWrite);
    for (const qsizetype room : {0, 1, 40}) {
        Room = room;
        ExpectFullDiskRefusal(journal);
    }
    ChangeJournalFile::setWriteFunction(nullptr);
    // Room again: the next line is whole and readable.
    ASSERT_TRUE(journal.append(Entry(-1, "00033", "00040", Stage::Accepted), &error));
    EXPECT_EQ(journal.read().size(), 2);
}

// The same on a real filesystem that is full, where one can be mounted.
TEST(ChangeJournalFile, OnARealFullDiskTheFileStaysWhole) {
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here: " << strerror(errno);
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount(at.constData()); }
    } unmount{mountPoint};
    const ChangeJournalFile journal(dir.filePath("changes.csv"));
    QString error;
    ASSERT_TRUE(journal.append(Entry(-1, "00033", "00040", Stage::Sent), &error));
    // Fill the rest of the disk.
    {
        QFile filler(dir.filePath("filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size()) {
        }
    }
    // tmpfs fills in pages: the journal's own page may have room left.
    for (int i = 0; i < 200; ++i) {
        if (!journal.append(Entry(-1, "00033", "00040", Stage::Sent), &error))
            break;
    }
    ExpectFullDiskRefusal(journal);
}
