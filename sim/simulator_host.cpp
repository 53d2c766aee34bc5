#include "sim/simulator_host.h"

#include "link/recording.h"
#include "sim/replay_engine.h"
#include "sim/sim_engine.h"

#include "config/app_paths.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace {

int64_t steadyUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// The simulated car as the host serves it.
class ScenarioPeer : public SimPeer {
public:
    explicit ScenarioPeer(SimScenario scenario) : m_engine(std::move(scenario)) {}
    void receive(std::string_view bytes, int64_t nowUs) override { m_engine.receive(bytes, nowUs); }
    void takeOutput(int64_t nowUs, std::string& out) override { m_engine.takeOutput(nowUs, out); }
    int64_t nextOutputUs() const override { return m_engine.nextOutputUs(); }
    bool linkDropped() const override { return m_engine.linkDropped(); }
    void setTranscriptSink(TranscriptSink sink) override {
        m_engine.setTranscriptSink(
            [sink = std::move(sink)](int n, int64_t us, std::string_view cmd) {
                if (sink)
                    sink(n, us, cmd, {});
            });
    }

private:
    SimEngine m_engine;
};

} // namespace

SimulatorHost::SimulatorHost() = default;

SimulatorHost::~SimulatorHost() {
    stop();
}

QString SimulatorHost::defaultScenarioPath() {
    const QString rel = QStringLiteral("scenarios/demo_car.ini");
    const QString found = AppPaths::ForRunningProgram().findDataFile(rel);
    if (!found.isEmpty())
        return found;
    const QString data = qEnvironmentVariable("VANDRIX_DATA");
    if (!data.isEmpty() && QFileInfo(QDir(data).filePath(rel)).isFile())
        return QDir(data).filePath(rel);
    return {};
}

bool SimulatorHost::start(const QString& scenarioPath, QString* error) {
    SimOptions o;
    // The demo entry may be given a recording instead of a car.
    if (Recording::looksLikeRecording(scenarioPath) || scenarioPath.endsWith(Recording::Suffix) ||
        scenarioPath.endsWith(QLatin1String(Recording::Suffix) + Recording::CompressedSuffix))
        o.replayPath = scenarioPath;
    else
        o.scenarioPath = scenarioPath;
    o.pace = m_paced;
    return start(o, error);
}

bool SimulatorHost::start(const SimOptions& options, QString* error) {
    stop();
    std::unique_ptr<SimPeer> replay;
    if (!options.replayPath.isEmpty() &&
        !(replay = ReplayEngine::open(options.replayPath, options.pace, error)))
        return false;
    SimScenario scenario;
    if (!replay && !SimScenario::load(options.scenarioPath, &scenario, error))
        return false;
    if (!SimFault::parseList(options.faults.join(','), &scenario.faults, &scenario.pace,
                             &scenario.klineMs, error))
        return false;
    scenario.pace = scenario.pace || options.pace;
    if (options.klineMs >= 0)
        scenario.klineMs = options.klineMs;
    if (!options.chipVersion.isEmpty())
        scenario.chipVersion = options.chipVersion.toStdString();

    if (!options.transcriptPath.isEmpty()) {
        m_transcript = std::fopen(QFile::encodeName(options.transcriptPath).constData(), "w");
        if (!m_transcript) {
            if (error)
                *error = QStringLiteral("cannot write transcript %1: %2")
                             .arg(options.transcriptPath, QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
    }

    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B19200);
    cfsetospeed(&raw, B19200);
    if (::openpty(&m_master, &m_slaveKeep, name, &raw, nullptr) != 0) {
        if (error)
            *error = QStringLiteral("cannot open a pseudo-terminal: %1")
                         .arg(QString::fromLocal8Bit(strerror(errno)));
        stop();
        return false;
    }
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slaveKeep, F_SETFD, FD_CLOEXEC);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
    m_dropped = false;

    m_engine = replay ? std::move(replay) : std::make_unique<ScenarioPeer>(std::move(scenario));
    {
        std::lock_guard lock(m_commandsLock);
        m_commands.clear();
    }
    m_engine->setTranscriptSink([this, f = m_transcript, keep = options.keepCommands](
                                    int n, int64_t us, auto cmd, auto note) {
        if (keep) {
            std::lock_guard lock(m_commandsLock);
            if (m_commands.size() >= MaxCommandsKept) // a long run keeps its latest
                m_commands.remove(0, MaxCommandsKept / 2);
            m_commands << QString::fromLatin1(cmd.data(), qsizetype(cmd.size()));
        }
        if (!f)
            return;
        std::fprintf(f, "%d\t%.3f\t", n, double(us) / 1000.0);
        for (const char c : cmd) {
            const auto b = static_cast<unsigned char>(c);
            if (b < 0x20 || b >= 0x7F || b == '\\')
                std::fprintf(f, "\\x%02X", b);
            else
                std::fputc(c, f);
        }
        if (!note.empty()) // a fourth field, after the command
            std::fprintf(f, "\t%.*s", int(note.size()), note.data());
        std::fputc('\n', f);
        std::fflush(f);
    });
    m_thread = std::thread([this] { serve(); });
    return true;
}

void SimulatorHost::stop() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_stopFd, &one, sizeof one);
        m_thread.join();
    }
    closeFd(m_master);
    closeFd(m_slaveKeep);
    closeFd(m_stopFd);
    if (m_transcript) {
        std::fclose(m_transcript);
        m_transcript = nullptr;
    }
    m_engine.reset();
    m_slavePath.clear();
}

QStringList SimulatorHost::commands() const {
    std::lock_guard lock(m_commandsLock);
    return m_commands;
}

void SimulatorHost::serve() {
    SimPeer& engine = *m_engine;
    // The engine's clock starts with the host, so warm-up ramps start cold.
    const int64_t origin = steadyUs();
    auto clock = [origin] { return steadyUs() - origin; };
    std::string pending; // due, but not yet taken by the pty
    size_t sent = 0;
    char buf[4096];
    for (;;) {
        const int64_t now = clock();
        // Nobody reading (a closed port, a full terminal) must not make the
        // backlog grow: the engine holds what is not yet due.
        if (pending.size() - sent < 4096)
            engine.takeOutput(now, pending);
        while (sent < pending.size()) {
            const ssize_t n = ::write(m_master, pending.data() + sent, pending.size() - sent);
            if (n <= 0)
                break; // full: wait for POLLOUT
            sent += size_t(n);
        }
        if (sent == pending.size()) {
            pending.clear();
            sent = 0;
        }
        if (engine.linkDropped()) {
            // Pulling the adapter: the program's side sees a hang-up.
            m_dropped = true; // before the hang-up, so the owner sees it first
            closeFd(m_master);
            closeFd(m_slaveKeep);
            break;
        }

        int timeoutMs = -1;
        const int64_t next = engine.nextOutputUs();
        if (next >= 0)
            timeoutMs = int(std::clamp<int64_t>((next - now + 999) / 1000, 0, 60000));
        pollfd fds[2] = {{m_master, short(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0},
                         {m_stopFd, POLLIN, 0}};
        if (!pending.empty() && timeoutMs < 0)
            timeoutMs = 50;
        const int r = ::poll(fds, 2, timeoutMs);
        if (r < 0 && errno != EINTR)
            break;
        if (fds[1].revents)
            break;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n > 0)
                engine.receive(std::string_view(buf, size_t(n)), clock());
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Nobody holds the terminal side open; ours keeps it alive, so
            // this is transient. Avoid spinning on it.
            ::poll(nullptr, 0, 10);
        }
    }
    // Wait for stop() so the owner decides when the thread ends.
    pollfd stopWait{m_stopFd, POLLIN, 0};
    while (::poll(&stopWait, 1, -1) < 0 && errno == EINTR) {
    }
}
