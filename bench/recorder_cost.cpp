// What the flight recorder costs at the program's full poll rate: group polls
// through the real port and channel against the simulator at 19200-baud pace,
// 20 ms apart as on the Group page, in turns with and without a recording,
// and the processor time spent inside the recorder itself.
//
//   build/bench/bench_recorder_cost [seconds per turn]
#include "link/command_channel.h"
#include "link/flight_recorder.h"
#include "link/serial_port.h"
#include "services/block_buffer.h"
#include "services/requests.h"

#include "cpu_time.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {
double wallSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The recorder as the stream's observer, with the processor time of every
// call counted (its writes to the file included).
class TimedRecorder : public TrafficObserver {
public:
    explicit TimedRecorder(FlightRecorder& r) : m_recorder(r) {}
    double seconds = 0;

    void bytesSent(const QByteArray& b, int64_t t) override {
        timed([&] { m_recorder.bytesSent(b, t); });
    }
    void bytesReceived(const QByteArray& b, int64_t t) override {
        timed([&] { m_recorder.bytesReceived(b, t); });
    }

private:
    template <typename F> void timed(F call) {
        const double t0 = threadCpuSeconds();
        call();
        seconds += threadCpuSeconds() - t0;
    }
    FlightRecorder& m_recorder;
};

void drainToPrompt(CommandChannel& channel) {
    while (channel.ReadReplyLine(false) != QLatin1String(">")) {
    }
}

// Polls group 1 for the given time; returns the polls done.
int pollFor(CommandChannel& channel, double seconds) {
    BlockBuffer buffer;
    int polls = 0;
    const double t0 = wallSeconds();
    while (wallSeconds() - t0 < seconds) {
        buffer.Clear();
        if (!ReadGroup(channel, buffer, 1))
            std::fprintf(stderr, "group refused\n");
        channel.Pause(20);
        ++polls;
    }
    return polls;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double turn = argc > 1 ? QString(argv[1]).toDouble() : 3.0;
    constexpr int Turns = 4;

    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + "/../bin/vandrix-sim", {"--pace"});
    if (!sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "vandrix-sim did not start\n");
        return 1;
    }
    const QString tty = QString::fromLocal8Bit(sim.readLine()).trimmed();

    QTemporaryDir folder;
    FlightRecorder recorder({}, folder.path());
    TimedRecorder timed(recorder);
    TSerialPort port;
    port.SetPort(tty);
    port.SetBaudRate(br19200);
    port.Open();
    port.SetReadTotalMultiplier(-1);
    port.SetReadTotalConstant(1000);
    CommandChannel channel(port, qtMessagePump);
    channel.SendText("ATZ\r");
    drainToPrompt(channel);
    channel.SendText("ATD01\r");
    drainToPrompt(channel);

    RecordingHeader header;
    header.program = QStringLiteral("bench");
    header.port = tty;
    header.units = {1};
    if (!recorder.begin(header)) {
        std::fprintf(stderr, "cannot record in %s\n", qPrintable(folder.path()));
        return 1;
    }

    // Turns in alternation, so a machine that gets busier meanwhile weighs
    // on both alike.
    int pollsWith = 0, pollsWithout = 0;
    double secondsWith = 0, secondsWithout = 0;
    for (int i = 0; i < 2 * Turns; ++i) {
        const bool recording = i % 2 == 1;
        port.setTrafficObserver(recording ? &timed : nullptr);
        const double t0 = wallSeconds();
        const int polls = pollFor(channel, turn);
        (recording ? pollsWith : pollsWithout) += polls;
        (recording ? secondsWith : secondsWithout) += wallSeconds() - t0;
    }
    port.setTrafficObserver(nullptr);
    recorder.end();
    const qint64 bytes = QFileInfo(recorder.path()).size();

    channel.SendText("ATH\r");
    port.Close();
    sim.terminate();
    sim.waitForFinished(2000);

    const double rateWithout = pollsWithout / secondsWithout;
    const double rateWith = pollsWith / secondsWith;
    const double rateLoss = 100.0 * (rateWithout - rateWith) / rateWithout;
    const double core = 100.0 * timed.seconds / secondsWith;
    std::printf("without recording: %d polls in %.1f s = %.2f polls/s\n", pollsWithout,
                secondsWithout, rateWithout);
    std::printf("with recording:    %d polls in %.1f s = %.2f polls/s, %lld bytes written\n",
                pollsWith, secondsWith, rateWith, static_cast<long long>(bytes));
    std::printf("recorder: %.1f us of processor time per poll\n",
                1e6 * timed.seconds / std::max(1, pollsWith));
    std::printf("recorder cost: poll rate loss %.2f %% (target < 2 %%), %.3f %% of a core "
                "(target < 1 %%)\n",
                rateLoss, core);
    return rateLoss < 2.0 && core < 1.0 ? 0 : 1;
}
