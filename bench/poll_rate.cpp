// Polls one measuring group through the real port and channel against the
// simulator at 19200-baud pace, as a session on the group page does, and
// reports the rate against what the line allows and the CPU the loop costs.
//
//   build/bench/bench_poll_rate [seconds]
#include "link/command_channel.h"
#include "link/port_factory.h"
#include "link/serial_port.h"
#include "services/block_buffer.h"
#include "services/requests.h"

#include "bench/cpu_time.h"

#include <QCoreApplication>
#include <QProcess>
#include <chrono>
#include <cstdio>

namespace {
double wallSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void drainToPrompt(CommandChannel& channel) {
    while (channel.ReadReplyLine(false) != QLatin1String(">")) {
    }
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? QString(argv[1]).toDouble() : 10.0;

    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + "/../bin/vandrix-sim", {"--pace"});
    if (!sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "vandrix-sim did not start\n");
        return 1;
    }
    const QString tty = QString::fromLocal8Bit(sim.readLine()).trimmed();

    TSerialPort port;
    if (!OpenConnectionPort(port, tty).ok()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(tty));
        return 1;
    }
    CommandChannel channel(port, qtMessagePump);

    channel.SendText("ATZ\r");
    drainToPrompt(channel);
    channel.SendText("ATD01\r");
    drainToPrompt(channel); // CONNECT line, identification, prompt

    BlockBuffer buffer;
    int polls = 0;
    int triplets = 0;
    const double cpu0 = cpuSeconds();
    const double t0 = wallSeconds();
    while (wallSeconds() - t0 < seconds) {
        buffer.Clear();
        if (!ReadGroup(channel, buffer, 1))
            std::fprintf(stderr, "group refused\n");
        channel.Pause(20);
        ++polls;
        triplets = 0;
        while (triplets < BlockBuffer::MaxFields && buffer[3 * triplets + 1] != BlockBuffer::Empty)
            ++triplets;
    }
    const double elapsed = wallSeconds() - t0;
    const double cpuLoop = cpuSeconds() - cpu0;

    // Waiting alone: the pause between polls must not cost a core.
    const double cpu1 = cpuSeconds();
    const double t1 = wallSeconds();
    while (wallSeconds() - t1 < 2.0)
        channel.Pause(20);
    const double cpuIdle = (cpuSeconds() - cpu1) / (wallSeconds() - t1);

    channel.SendText("ATH\r");
    port.Close();
    sim.terminate();
    sim.waitForFinished(2000);

    const double rate = polls / elapsed;
    // "0801" CR, then "tt aa bb" CR per field and the prompt.
    const int characters = 5 + 9 * triplets + 1;
    const double bound = 1000.0 / (characters * 0.52 + 20.0);
    std::printf("polls: %d in %.2f s = %.2f polls/s\n", polls, elapsed, rate);
    std::printf("19200-baud bound (%d characters + 20 ms pause): %.2f polls/s\n", characters,
                bound);
    std::printf("ratio to bound: %.1f %% (target >= 96 %%)\n", 100.0 * rate / bound);
    // A pty does not pace what we send, only the simulator's replies are.
    const double replyBound = 1000.0 / ((characters - 5) * 0.52 + 20.0);
    std::printf("ratio to the bound of the paced reply alone: %.1f %%\n",
                100.0 * rate / replyBound);
    std::printf("CPU while polling: %.1f %% of a core\n", 100.0 * cpuLoop / elapsed);
    std::printf("CPU while only pausing: %.2f %% of a core\n", 100.0 * cpuIdle);
    return 0;
}
