#include "support/sim_process.h"

#include "support/built_program.h"

#include <QCoreApplication>
#include <QFile>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

QString SimProcess::executable() {
    // A benchmark runs outside ctest, beside the programs of its build.
    QString bin = qEnvironmentVariable("VANDRIX_BIN");
    if (bin.isEmpty() && QCoreApplication::instance())
        bin = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
    return bin + QStringLiteral("/vandrix-sim");
}

SimProcess::SimProcess(const QStringList& options) {
    start(options);
}

SimProcess::SimProcess(AtLink, const QString& link) : m_link(link) {}

SimProcess::~SimProcess() {
    terminate();
}

bool SimProcess::start(const QStringList& options) {
    terminate();
    m_firstLine.clear();
    m_terminal.clear();
    m_status = -1;

    QStringList args;
    if (UnderEmulation())
        args << Emulator();
    args << executable();
    m_transcriptPath = m_dir.filePath(QStringLiteral("transcript.txt"));
    args << QStringLiteral("--transcript") << m_transcriptPath;
    const QString data = qEnvironmentVariable("VANDRIX_DATA");
    if (!data.isEmpty())
        args << QStringLiteral("--scenario") << data + QStringLiteral("/scenarios/demo_car.ini");
    if (!m_link.isEmpty()) {
        QFile::remove(m_link);
        args << QStringLiteral("--link") << m_link;
    }
    // The last of an option wins, in vandrix-sim as here.
    for (qsizetype i = 0; i + 1 < options.size(); ++i)
        if (options[i] == u"--transcript")
            m_transcriptPath = options[i + 1];
    args += options;

    std::vector<QByteArray> bytes;
    for (const QString& a : args)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    const int failed = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    m_out = fds[0];
    if (failed) {
        m_pid = -1;
        return false;
    }

    // Ready once it names its terminal; a refused option ends it silently.
    QByteArray line;
    char c;
    pollfd p{m_out, POLLIN, 0};
    while (::poll(&p, 1, 10000) == 1 && ::read(m_out, &c, 1) == 1 && c != '\n')
        line += c;
    m_firstLine = QString::fromLocal8Bit(line);
    if (m_firstLine.startsWith(QStringLiteral("/dev/")))
        m_terminal = m_firstLine;
    return started();
}

QByteArray SimProcess::restOfOutput() {
    QByteArray text;
    char buf[4096];
    for (ssize_t n; m_out >= 0 && (n = ::read(m_out, buf, sizeof buf)) > 0;)
        text.append(buf, n);
    return text;
}

void SimProcess::reap(int options) {
    int status = 0;
    if (m_pid > 0 && ::waitpid(m_pid, &status, options) == m_pid) {
        m_pid = -1;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
}

int SimProcess::terminate() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        for (int waited = 0; waited < 3000 && m_pid > 0; waited += 5) {
            reap(WNOHANG);
            if (m_pid > 0)
                ::usleep(5000);
        }
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            reap(0);
            m_status = -1;
        }
    } else {
        m_status = -1;
    }
    if (m_out >= 0) {
        ::close(m_out);
        m_out = -1;
    }
    m_terminal.clear();
    return m_status;
}

int SimProcess::exitStatus() {
    reap(0);
    return m_status;
}

void SimProcess::kill() {
    if (m_pid > 0)
        ::kill(m_pid, SIGKILL);
}

QStringList SimProcess::transcript() const {
    QFile f(m_transcriptPath);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList SimProcess::commands() const {
    QFile f(m_transcriptPath);
    QStringList out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        // NUMBER <tab> MILLISECONDS <tab> TEXT
        const QList<QByteArray> fields = line.split('\t');
        out << (fields.size() >= 3 ? QString::fromLatin1(fields[2]) : QString());
    }
    return out;
}
