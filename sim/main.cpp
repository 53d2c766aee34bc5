// vandrix-sim: the simulated interface and car on a pseudo-terminal, for
// tests, benchmarks and trying the program without hardware.
#include "sim/kline_host.h"
#include "sim/simulator_host.h"

#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace {

const char kHelp[] = R"(usage: vandrix-sim [options]

Simulates a "Vandrix Pro" interface and a car's control units on a
pseudo-terminal. Prints the terminal's path as its first line of output, then
serves until SIGINT or SIGTERM.

Options:
  --scenario FILE    the car to simulate (INI). Default: scenarios/demo_car.ini
                     beside this program (installed: in ~/.local/share/vandrix
                     or share/vandrix), else in $VANDRIX_DATA/scenarios.
  --link PATH        also make PATH a symbolic link to the terminal (an
                     existing symbolic link there is replaced, any other file
                     is left alone and is an error); removed on exit.
  --transcript FILE  write every command received, one per line:
                     NUMBER <tab> MILLISECONDS <tab> TEXT
                     (numbered from 1 in arrival order, a lone CR included
                     with an empty TEXT; time since start; bytes outside
                     printable ASCII and the backslash written as \xHH).
  --replay FILE      serve a recording of the program instead of a scenario:
                     each command is answered with the reply recorded for it
                     at that point of the recording (matched in order); one
                     the recording does not hold gets "?" and the prompt, and
                     the transcript notes it in a fourth field.
  --pace             deliver replies at 19200 baud (0.52 ms per character);
                     with --replay: keep the recorded timing.
  --kline-ms N       delay every request to a control unit (and ATD) by N ms.
  --chip-version V   the version in the ATZ reply (default 2.1, or the
                     scenario's).
  --fault FAULT      inject a fault; may be repeated or comma-separated.
  --plain-cable      be a plain K-line cable instead of the interface: every
                     byte written is echoed, and the scenario's units answer
                     KW1281 and KW2000 byte by byte. The address must come as
                     a byte at 5 baud (a terminal carries no breaks); the
                     rate the program sets is read from the terminal.
  --line-fault LIST  with --plain-cable: line faults, comma-separated, each
                     NAME or NAME#N (at the Nth occurrence) or NAME#N+ (from
                     it on): late-complement, wrong-complement, lost-byte
                     (the Nth block of a unit loses a byte), no-sync (the
                     first N addresses get no sync), repeated-sync,
                     stray-bytes, silence-after (N blocks), ignore-end,
                     pending and bad-checksum (KW2000 answers); also
                     rate=N (units speak at N baud) and fast-init (listen
                     for a KW2000 fast init instead of addresses).
  --help             this text.

FAULT is KIND#N (at the Nth command received, lone CRs counted), or
KIND@COMMAND (at the first command equal to COMMAND, e.g. dataerror@0801), or
KIND@COMMAND#K (at its Kth occurrence). KIND is one of:
  silence    that command and every later one get no answer at all
  dataerror  that command is answered "DATA ERROR" and the prompt
  garbage    that command is answered by a line of non-hexadecimal bytes and
             the prompt
  longline   that command is answered by 100000 characters without CR and
             without prompt
  noprompt   that command's answer lacks the final ">"
  unplug     on that command the link is dropped: the pty master is closed,
             as when the adapter is pulled out
  error      that command is answered "ERROR" and the prompt, as a chip that
             refuses a setting (error@ATIBT05, error@ATN0)
  extraline  that command's answer has one more line, "OK", before its
             prompt, as a chip whose reset answer is longer (extraline@ATZ)
  endless    that command is answered by characters without CR, at the
             line's pace, until the next command arrives
  crlf       from that command on, every line ends in CR LF
Also accepted as FAULT: "pace" (as --pace), "kline=MS" (as --kline-ms) and
"crlf" (CR LF line ends from the first command on).
The scenario's [Interface] Faults= key takes the same list. The scenario
format is described at the top of scenarios/demo_car.ini.

Exit status: 0 after a signal, 2 on a bad option or scenario.
)";

int usageError(const char* what) {
    std::fprintf(stderr, "vandrix-sim: %s\n(see vandrix-sim --help)\n", what);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions opt;
    // The transcript file is this process's record; a list in memory would
    // only grow with every request served.
    opt.keepCommands = false;
    QString linkPath;
    bool plainCable = false;
    QString lineFaults;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        auto value = [&](QString* out) {
            if (i + 1 >= argc)
                return false;
            *out = QString::fromLocal8Bit(argv[++i]);
            return true;
        };
        QString v;
        if (a == u"--help" || a == u"-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (a == u"--plain-cable") {
            plainCable = true;
        } else if (a == u"--line-fault") {
            if (!value(&v))
                return usageError("--line-fault needs a list");
            lineFaults += (lineFaults.isEmpty() ? "" : ",") + v;
        } else if (a == u"--pace") {
            opt.pace = true;
        } else if (a == u"--replay") {
            if (!value(&opt.replayPath))
                return usageError("--replay needs a recording");
        } else if (a == u"--scenario") {
            if (!value(&opt.scenarioPath))
                return usageError("--scenario needs a file");
        } else if (a == u"--link") {
            if (!value(&linkPath))
                return usageError("--link needs a path");
        } else if (a == u"--transcript") {
            if (!value(&opt.transcriptPath))
                return usageError("--transcript needs a file");
        } else if (a == u"--chip-version") {
            if (!value(&opt.chipVersion))
                return usageError("--chip-version needs a text");
        } else if (a == u"--kline-ms") {
            bool ok = false;
            if (!value(&v) || (opt.klineMs = v.toInt(&ok), !ok) || opt.klineMs < 0)
                return usageError("--kline-ms needs a number of milliseconds");
        } else if (a == u"--fault") {
            if (!value(&v))
                return usageError("--fault needs a FAULT");
            opt.faults << v;
        } else {
            return usageError(("unknown option " + a.toStdString()).c_str());
        }
    }
    if (opt.scenarioPath.isEmpty() && opt.replayPath.isEmpty()) {
        opt.scenarioPath = SimulatorHost::defaultScenarioPath();
        if (opt.scenarioPath.isEmpty())
            return usageError("no scenario given and scenarios/demo_car.ini not found");
    }

    // Signals are taken by sigwait below, not by the serving thread.
    sigset_t sigs;
    sigemptyset(&sigs);
    sigaddset(&sigs, SIGINT);
    sigaddset(&sigs, SIGTERM);
    sigaddset(&sigs, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &sigs, nullptr);

    SimulatorHost host;
    PlainCableHost cable;
    QString error;
    if (plainCable ? !cable.start(opt.scenarioPath, lineFaults, &error) : !host.start(opt, &error))
        return usageError(error.toLocal8Bit().constData());

    const QByteArray slave = QFile::encodeName(plainCable ? cable.slavePath() : host.slavePath());
    QByteArray link;
    if (!linkPath.isEmpty()) {
        link = QFile::encodeName(linkPath);
        if (QFileInfo(linkPath).isSymLink())
            ::unlink(link.constData());
        if (::symlink(slave.constData(), link.constData()) != 0) {
            const QString why = QStringLiteral("cannot make the link %1: %2")
                                    .arg(linkPath, QString::fromLocal8Bit(strerror(errno)));
            return usageError(why.toLocal8Bit().constData());
        }
    }
    std::printf("%s\n", slave.constData());
    std::fflush(stdout);

    int sig = 0;
    sigwait(&sigs, &sig);
    host.stop();
    cable.stop();
    if (!link.isEmpty()) {
        // Only our own link: someone may have pointed it elsewhere meanwhile.
        char target[4096];
        const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
        if (n > 0 && QByteArray(target, int(n)) == slave)
            ::unlink(link.constData());
    }
    return 0;
}
