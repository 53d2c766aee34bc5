// The change journal's lines and its file on a real disk.
#include "log/change_journal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    EXPECT_FALSE(ChangeJournal::ParseLine(ChangeJournal::HeaderLine()));
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
    EXPECT_EQ(lines[0], ChangeJournal::HeaderLine().toUtf8());
    EXPECT_TRUE(lines[2].contains(";accepted;"));
    EXPECT_EQ(journal.read().size(), 2);
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
