// Every recording in tests/recordings replayed through the real window: the
// identification, a group's values and the faults come out as the original
// session read them. A recording a user sends in becomes one more case by
// being dropped in that folder; see tests/recordings/README.
#include "link/memory_stream.h"
#include "services/identification.h"
#include "services/requests.h"
#include "sim/replay_engine.h"
#include "support/sim_process.h"
#include "support/ui/recording_fixture.h"
#include "values/measured_value.h"

#include <QDirIterator>
#include <QRegularExpression>

namespace {
const QString Folder = QStringLiteral(VANDRIX_RECORDINGS);

// What the original session read, decoded from its recorded replies by the
// readers the window uses.
struct Original {
    int unit = 0;
    bool connected = false;
    TecuID id;
    int group = 0;                // the first group read; 0: none
    QList<QStringList> groupRows; // the values of each of its reads
    bool readFaults = false;
    QList<FaultCodeList> faults; // each fault read's list
};

// A channel reading bytes as the interface sent them.
// Silence passes at once on the stream's own clock.
struct Replayed {
    explicit Replayed(const std::string& bytes) {
        port.useVirtualClock();
        port.feed(QByteArray::fromStdString(bytes));
        port.Open();
    }
    MemoryByteStream port;
    CommandChannel channel{port};
};

// A reply cut short reads as far as it goes.
template <typename Read> void tryReading(Read read) {
    try {
        read();
    } catch (const std::exception&) {
    }
}

Original originalOf(const Recording::File& file) {
    Original o;
    o.unit = file.value("Unit").left(3).toInt();
    static const QRegularExpression groupRead(QStringLiteral("^08([0-9A-F]{2})$"));
    for (const ReplayExchange& e : ReplayEngine::exchangesOf(file)) {
        std::string reply;
        for (const ReplayExchange::Piece& p : e.reply)
            reply += p.bytes;
        const QString command = QString::fromStdString(e.command);
        if (command.startsWith("ATD") && !o.connected && reply.starts_with("CONNECT")) {
            o.connected = true;
            Replayed r(reply.substr(reply.find('\r') + 1));
            tryReading([&] { ReadIdentification(r.channel, o.id, 0); });
        }
        const QRegularExpressionMatch group = groupRead.match(command);
        if (group.hasMatch() && command != "0800") {
            const int number = group.captured(1).toInt(nullptr, 16);
            if (o.group == 0)
                o.group = number;
            if (number != o.group)
                continue;
            Replayed r(reply);
            BlockBuffer buffer;
            QStringList row;
            bool read = false;
            tryReading([&] { read = ReadGroup(r.channel, buffer, number); });
            for (int f = 1; f <= 4; ++f)
                row << (read ? FormatMeasuredValue(buffer.field(f).type, buffer.field(f).a,
                                                   buffer.field(f).b)
                             : QStringLiteral("NA"));
            o.groupRows << row;
        }
        if (command == "02") {
            o.readFaults = true;
            Replayed r(reply);
            FaultCodeList list;
            tryReading([&] { ReadFaultCodes(r.channel, list); });
            o.faults << list;
        }
    }
    return o;
}

QStringList recordings() {
    QStringList names = QDir(Folder).entryList({QStringLiteral("*.vrec")}, QDir::Files, QDir::Name);
    return names.isEmpty() ? QStringList{QString()} : names;
}
} // namespace

class RecordedSession : public RecordingTest, public ::testing::WithParamInterface<QString> {};

TEST_P(RecordedSession, ReplaysAsTheOriginalShowedIt) {
    if (GetParam().isEmpty())
        GTEST_SKIP() << "no recordings in " << Folder.toStdString();
    const QString path = QDir(Folder).filePath(GetParam());
    QString error;
    const std::optional<Recording::File> file = Recording::read(path, &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_TRUE(file->badLines.isEmpty());
    if (file->value("Kind") != "session")
        GTEST_SKIP() << "only sessions are replayed through the window";
    const Original original = originalOf(*file);
    ASSERT_TRUE(original.connected) << "the recording never connected to its unit";

    SimProcess replay({"--replay", path});
    ASSERT_TRUE(replay.started());
    TForm1& w = makeWindow(replay.terminalPath());
    if (original.unit == 21)
        prompts.expectConfirm(2, 1); // the airbag unit's warning
    chooseUnit(original.unit);

    // The pages the original read, in its order: a group, then the faults.
    Shown shown;
    auto toFaults = [&w, &original] {
        if (original.readFaults)
            w.PageControl1->setActivePage(w.TabSheet3);
    };
    std::vector<Step> steps{{"connected", [] { return true; },
                             [&] {
                                 shown.identification = identificationOf(w);
                                 if (original.group)
                                     readGroup(w, original.group);
                                 else
                                     toFaults();
                             }}};
    if (original.group)
        steps.push_back({"group values shown", [&w] { return groupShown(w); },
                         [&] {
                             shown.values = groupValuesOf(w);
                             toFaults();
                         }});
    if (original.readFaults)
        steps.push_back({"faults shown", [&w] { return faultsShown(w); },
                         [&] { shown.faults = w.state.FaultCodes; }});
    drive(steps);

    const TecuID& id = original.id;
    EXPECT_EQ(shown.identification,
              QStringList({id.VAGTyp, id.Part, id.Zusatz, id.WSC,
                           id.IMP.isEmpty() ? id.EXT : id.EXT + " - " + id.IMP, id.Coding}));
    if (original.group) {
        EXPECT_TRUE(original.groupRows.contains(shown.values))
            << "group " << original.group << ": " << shown.values.join(" | ").toStdString();
    }
    if (original.readFaults) {
        EXPECT_TRUE(original.faults.contains(shown.faults)) << shown.faults.size() << " faults";
    }
    // Everything the window asked the recording holds; a recording cut short
    // may lack the final "ATH".
    for (const QString& line : replay.transcript()) {
        if (!line.contains("\tATH\t")) {
            EXPECT_FALSE(line.contains("not in the recording")) << line.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Recordings, RecordedSession, ::testing::ValuesIn(recordings()),
                         [](const ::testing::TestParamInfo<QString>& info) {
                             QString name = QFileInfo(info.param).completeBaseName();
                             name.replace(QRegularExpression("[^A-Za-z0-9]"), "_");
                             return name.isEmpty() ? std::string("none") : name.toStdString();
                         });

// Not a test of its own: makes the recordings of the simulator's units that
// ship in tests/recordings. VANDRIX_WRITE_RECORDINGS names the folder.
TEST_F(RecordingTest, WritesTheSimulatorsUnits) {
    const QString target = qEnvironmentVariable("VANDRIX_WRITE_RECORDINGS");
    if (target.isEmpty())
        GTEST_SKIP() << "set VANDRIX_WRITE_RECORDINGS to a folder to write the recordings";
    for (const int unit : {1, 2, 3, 9, 21, 23}) {
        SimProcess sim;
        ASSERT_TRUE(sim.started());
        makeWindow(sim.terminalPath());
        if (unit == 21)
            prompts.expectConfirm(2, 1);
        chooseUnit(unit);
        Shown shown;
        drive(showGroupAndFaults(1, shown));
        const QString name =
            QStringLiteral("demo_car_unit%1.vrec").arg(unit, 3, 10, QLatin1Char('0'));
        QFile::remove(QDir(target).filePath(name));
        ASSERT_TRUE(QFile::copy(window->Recorder.path(), QDir(target).filePath(name)));
    }
}
