// UnitChanges against a scripted unit in memory: the journal's lines around a
// coding write, no write without its "sent" line, a change left open by a
// dropped link and completed later, and the undo's guard.
#include "link/memory_stream.h"
#include "session/diagnostic_session.h"
#include "session/unit_changes.h"
#include "support/qt_printers.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct JournalEvents : ChangeJournalObserver {
    QStringList seen;
    void journalSentUnwritten(const QString&) override { seen << "sent unwritten"; }
    void journalResultUnwritten(const QString&) override { seen << "result unwritten"; }
};

// A unit at 0x11 coded 01234, workshop code 12345; "07" to 01235 answers
// with its new identification.
struct UnitChangesCore : ::testing::Test {
    SessionObserver quiet;
    DiagnosticSession session{quiet};
    JournalEvents events;
    QTemporaryDir dir;
    QString path = dir.filePath("changes.csv");
    QList<QByteArray> commands;
    QMap<QByteArray, QByteArray> replies = {
        {"", "\r>"},
        {"ATZ", "\rVandrix Pro v2.1\r>"},
        {"ATIBT05", ">"},
        {"ATBDT28", ">"},
        {"ATN0", ">"},
        {"ATD11", "CONNECT B4 P1\r036906034AM\rMotronic\rIMMO VWZ1\rSWC 01234\rWSC 12345\r>"},
        {"ATH", ">"},
        {"0704D33039", "036906034AM\rMotronic\rIMMO VWZ1\rSWC 01235\rWSC 12345\r>"}};

    void SetUp() override {
        session.setPortFactory(PortFactory::custom([this](const QString&) {
            auto stream = std::make_unique<MemoryByteStream>();
            stream->useVirtualClock();
            stream->setResponder([this](const QByteArray& written) {
                const QByteArray command = written.chopped(written.endsWith('\r') ? 1 : 0);
                commands << command;
                return replies.value(command, "ERROR\r>");
            });
            return stream;
        }));
        ASSERT_TRUE(session.connect("memory", 0x11));
        session.identify();
    }
    ChangeJournal::UnitNow unit() const { return UnitNowOf(0x11, session.identification()); }
    QList<JournalEntry> journal() const { return ChangeJournalFile(path).read(); }
    UnitChanges::CodingResult writeCoding(UnitChanges& changes, int coding) {
        UnitChanges::CodingResult result;
        session.run(
            [&] { result = changes.writeCoding(session.channel(), unit(), coding, 12345, false); });
        return result;
    }
};

} // namespace

TEST_F(UnitChangesCore, ACodingWriteIsJournalledBeforeAndAfterAndCanBeUndoneOnlyOntoItsUnit) {
    UnitChanges changes(path, &events);
    const UnitChanges::CodingResult written = writeCoding(changes, 1235);
    EXPECT_EQ(written.outcome, UnitChanges::Outcome::Accepted);
    EXPECT_EQ(written.answer.Coding, "01235");
    const QList<JournalEntry> lines = journal();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].stage, JournalEntry::Stage::Sent);
    EXPECT_EQ(lines[0].before, "01234");
    EXPECT_EQ(lines[1].stage, JournalEntry::Stage::Accepted);
    EXPECT_EQ(lines[1].codingAfter, "01235");
    EXPECT_TRUE(events.seen.isEmpty());

    using Verdict = UnitChanges::UndoPlan::Verdict;
    ChangeJournal::UnitNow now = unit();
    now.coding = "01235";
    const UnitChanges::UndoPlan plan = changes.planCodingUndo(now);
    EXPECT_EQ(plan.verdict, Verdict::Ready);
    EXPECT_EQ(plan.value, 1234);
    EXPECT_EQ(plan.workshopCode, 12345);

    ChangeJournal::UnitNow moved = now;
    moved.coding = "01300";
    EXPECT_EQ(changes.planCodingUndo(moved).verdict, Verdict::NotOffered);
    ChangeJournal::UnitNow otherCar = now;
    otherCar.identity.extra = "IMMO VWZ2";
    EXPECT_EQ(changes.planCodingUndo(otherCar).verdict, Verdict::NotOffered);
    EXPECT_FALSE(changes.planCodingUndo(otherCar).offer.change);
}

TEST_F(UnitChangesCore, NoWriteWithoutItsSentLine) {
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    UnitChanges changes(dir.filePath("file/changes.csv"), &events);
    EXPECT_EQ(writeCoding(changes, 1235).outcome, UnitChanges::Outcome::NotSent);
    EXPECT_EQ(events.seen, QStringList{"sent unwritten"});
    EXPECT_FALSE(commands.contains("0704D33039"));
}

TEST_F(UnitChangesCore, AChangeLeftOpenByADroppedLinkIsCompletedFromTheValueReadBack) {
    replies["0704D33039"] = ""; // the unit is gone after the request
    UnitChanges changes(path, &events);
    EXPECT_ANY_THROW(writeCoding(changes, 1235));
    ASSERT_EQ(journal().size(), 1);
    EXPECT_EQ(journal()[0].stage, JournalEntry::Stage::Sent);

    // Another car of the model has nothing open; this one, coded 01235 now, has.
    ChangeJournal::UnitNow otherCar = unit();
    otherCar.identity.extra = "IMMO VWZ2";
    const auto unread = [](int) { return std::optional<QString>(); };
    EXPECT_TRUE(changes.resolveOpenChanges(otherCar, unread).isEmpty());
    ChangeJournal::UnitNow now = unit();
    now.coding = "01235";
    const QList<UnitChanges::Resolution> resolved = changes.resolveOpenChanges(now, unread);
    ASSERT_EQ(resolved.size(), 1);
    EXPECT_EQ(resolved[0].stage, JournalEntry::Stage::Applied);
    ASSERT_EQ(journal().size(), 2);
    EXPECT_EQ(journal()[1].readBack, "01235");
}
