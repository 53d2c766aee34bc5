// Soak: many polls through the real window against the simulator, with a
// fault injected at random into every session (at connect or while
// polling). Each session polls four groups until its fault ends it, or is
// disconnected after a while. A worker process does the sessions, so a crash
// is counted and the run goes on in a new worker; memory and open
// descriptors are compared in the worker after its first session and at its
// end.
//
//   build/bench/bench_soak [polls, default 3000; the full run is 100000] [seed]
//
// Faults: dataerror, garbage and unplug at any of the first 400 commands
// (commands 1 to 7 are the connection set-up); silence, noprompt and longline
// only while polling, and rarely: each costs the 5 s silence limit.
#include "bench_session.h"

#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTextStream>

namespace {

constexpr int SessionLimitMs = 8000;
constexpr long MemoryTargetKb = 1024;

QString randomFault(QRandomGenerator& random) {
    static const char* const quick[] = {"dataerror", "garbage", "unplug"};
    static const char* const slow[] = {"silence", "noprompt", "longline"};
    if (random.bounded(10) == 0)
        return QString("%1#%2").arg(slow[random.bounded(3)]).arg(8 + random.bounded(393));
    return QString("%1#%2").arg(quick[random.bounded(3)]).arg(1 + random.bounded(400));
}

int countPolls(const QString& transcript) {
    QFile f(transcript);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    int polls = 0;
    // NUMBER <tab> MILLISECONDS <tab> TEXT: group requests are "08" + group.
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QByteArray text = line.split('\t').value(2);
        if (text.size() == 4 && text.startsWith("08") && text != "0800")
            ++polls;
    }
    return polls;
}

// Prints "polls N" after every session and, at its end, the figures.
int worker(int argc, char** argv, int target, quint32 seed) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QRandomGenerator random(seed);
    QTemporaryDir work;
    SimProcess sim(SimProcess::AtLink{}, work.filePath("tty"));
    if (!sim.start())
        return 1;
    Bench::Window window(sim.link());
    TForm1& w = *window.form;
    w.show();
    const QString transcript = work.filePath("commands.txt");

    long memoryBefore = -1;
    int descriptorsBefore = -1;
    int polls = 0, sessions = 0, unexpected = 0;
    while (polls < target) {
        const QString fault = randomFault(random);
        QFile::remove(transcript);
        if (!sim.start({"--fault", fault, "--transcript", transcript}))
            return 1;
        int64_t connectedAt = 0;
        Bench::runClick(w, 20, [&] {
            if (!connectedAt && window.connected()) {
                connectedAt = Bench::nowUs();
                window.pollFourGroups();
            } else if (connectedAt && Bench::nowUs() - connectedAt > SessionLimitMs * 1000LL) {
                w.BitBtn2Click();
            }
        });
        sim.stop();
        polls += countPolls(transcript);
        // A fault may end the session or the attempt with its error; any
        // other message is a fault of the program.
        for (const QString& text : window.prompts.messages)
            if (text != w.Str(304) && text != w.Str(305) && text != w.Str(306)) {
                ++unexpected;
                std::fprintf(stderr, "unexpected message after %s: %s\n", qPrintable(fault),
                             qPrintable(text));
            }
        window.prompts.messages.clear();
        ++sessions;
        if (sessions == 1) {
            // After the first session: everything a session loads once is loaded.
            memoryBefore = Bench::residentKb();
            descriptorsBefore = Bench::openDescriptors();
        }
        std::printf("polls %d session %d fault %s\n", polls, sessions, qPrintable(fault));
        std::fflush(stdout);
    }
    std::printf("result %d %d %ld %ld %d %d %d\n", polls, sessions, memoryBefore,
                Bench::residentKb(), descriptorsBefore, Bench::openDescriptors(), unexpected);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && QByteArray(argv[1]) == "--worker")
        return worker(argc, argv, QByteArray(argv[2]).toInt(), QByteArray(argv[3]).toUInt());

    QCoreApplication app(argc, argv);
    const int target = argc > 1 ? QString(argv[1]).toInt() : 3000;
    quint32 seed = argc > 2 ? QString(argv[2]).toUInt() : QRandomGenerator::global()->generate();
    std::printf("soak: %d polls, seed %u\n", target, seed);

    int polls = 0, sessions = 0, crashes = 0, unexpected = 0;
    QMap<QString, int> faults;
    long memoryGrowthKb = 0;
    QString descriptors = "-";
    QElapsedTimer clock;
    clock.start();
    while (polls < target) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--worker", QString::number(target - polls), QString::number(seed)});
        int done = 0, workerSessions = 0;
        QString last;
        while (child.state() != QProcess::NotRunning || child.canReadLine()) {
            if (!child.canReadLine() && !child.waitForReadyRead(1000))
                continue;
            while (child.canReadLine()) {
                last = QString::fromLocal8Bit(child.readLine()).trimmed();
                const QStringList f = last.split(' ');
                if (f.value(0) == "polls") {
                    done = f.value(1).toInt();
                    workerSessions = f.value(3).toInt();
                    ++faults[f.value(5).section('#', 0, 0)];
                } else if (f.value(0) == "result" && f.size() == 8) {
                    done = f[1].toInt();
                    workerSessions = f[2].toInt();
                    memoryGrowthKb = std::max(memoryGrowthKb, f[4].toLong() - f[3].toLong());
                    descriptors = f[5] + " before, " + f[6] + " after";
                    unexpected += f[7].toInt();
                }
            }
        }
        child.waitForFinished(-1);
        polls += done;
        sessions += workerSessions;
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            ++crashes;
            std::printf("worker crashed after %d polls (last: %s); seed %u\n", done,
                        qPrintable(last), seed);
            if (done == 0 && crashes > 3)
                break;
        }
        ++seed; // a new worker meets other faults
    }
    const double seconds = clock.elapsed() / 1000.0;
    std::printf("%d sessions in %.0f s; faults:", sessions, seconds);
    for (auto it = faults.cbegin(); it != faults.cend(); ++it)
        std::printf(" %s %d", qPrintable(it.key()), it.value());
    std::printf("; unexpected messages %d (target 0)\n", unexpected);
    std::printf("soak: %d polls, crashes %d (target 0), memory growth %ld kB (target < %ld kB), "
                "descriptors %s (target equal), %.1f polls/s\n",
                polls, crashes, memoryGrowthKb, MemoryTargetKb, qPrintable(descriptors),
                polls / seconds);
    return 0;
}
