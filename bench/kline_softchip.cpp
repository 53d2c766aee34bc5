// The plain-cable demo in real time (software chip, protocol core and the
// demo car's units on a virtual K-line paced by the wall clock), driven the
// way the program drives a chip: the command channel, one group poll and
// the 20 ms pause of the session loop, again and again.
//   - group polls per second, as a share of the K-line's byte bound (a
//     KW1281 group poll puts 40 bytes on the wire: the request's 5 and their
//     4 complements, the answer's 16 and their 15 complements);
//   - processor time per poll and as a share of one core while polling
//     (goal: at most 2 %);
//   - the time a search spends on an absent address, against the 5-baud
//     init's own 2.6 s (300 ms idle, 2 s address, 300 ms for the sync).
//
//     build/bench/bench_kline_softchip [seconds of polling]
#include "bench/cpu_time.h"
#include "link/command_channel.h"
#include "sim/kline_demo.h"

#include <QCoreApplication>
#include <QDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using Steady = std::chrono::steady_clock;

double secondsSince(Steady::time_point t0) {
    return std::chrono::duration<double>(Steady::now() - t0).count();
}

QStringList ask(CommandChannel& channel, const QString& command) {
    channel.SendText(command + QStringLiteral("\r"));
    QStringList lines;
    for (QString l = channel.ReadReplyLine(false); !l.isEmpty(); l = channel.ReadReplyLine(false)) {
        lines << l;
        if (l == QLatin1String(">"))
            break;
    }
    return lines;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 20.0;
    QString data = qEnvironmentVariable("VANDRIX_DATA");
    if (data.isEmpty())
        data = QCoreApplication::applicationDirPath() + "/../bin";
    auto stream = makeKLineDemoStream(QStringLiteral("demo-kline"),
                                      QDir(data).filePath("scenarios/demo_car.ini"));
    CommandChannel channel(*stream);
    try {
        stream->Open();
        ask(channel, "ATZ");
        auto t0 = Steady::now();
        const QStringList connect = ask(channel, "ATD01");
        const double connectS = secondsSince(t0);
        if (!connect.value(0).startsWith(QLatin1String("CONNECT"))) {
            std::fprintf(stderr, "no connect: %s\n", qPrintable(connect.join('|')));
            return 1;
        }
        int polls = 0;
        const double cpu0 = cpuSeconds();
        t0 = Steady::now();
        while (secondsSince(t0) < seconds) {
            if (ask(channel, "0801").size() != 5) {
                std::fprintf(stderr, "poll %d failed\n", polls);
                return 1;
            }
            ++polls;
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the session's pause
        }
        const double wall = secondsSince(t0);
        const double cpu = cpuSeconds() - cpu0;
        // Without the pause: the line alone.
        int fast = 0;
        t0 = Steady::now();
        while (secondsSince(t0) < seconds / 2 && ask(channel, "0801").size() == 5)
            ++fast;
        const double fastWall = secondsSince(t0);
        ask(channel, "ATH");
        const double byteBound = 9600.0 / (40 * 10);

        t0 = Steady::now();
        const QStringList absent = ask(channel, "ATD04");
        const double absentS = secondsSince(t0);
        stream->Close();

        std::printf("connect to identification (engine, 9600): %.2f s\n", connectS);
        std::printf("group polls with the 20 ms pause: %.2f /s; without: %.2f /s "
                    "(byte bound %.1f /s: %.0f %%)\n",
                    polls / wall, fast / fastWall, byteBound, 100 * fast / fastWall / byteBound);
        std::printf("processor time: %.3f ms per poll, %.2f %% of a core while polling\n",
                    1000 * cpu / polls, 100 * cpu / wall);
        std::printf("absent address: %.2f s to \"%s\" (%.2f x the init's 2.6 s)\n", absentS,
                    qPrintable(absent.value(absent.size() - 2)), absentS / 2.6);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
