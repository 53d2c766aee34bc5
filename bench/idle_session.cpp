// CPU use of a connected session that waits on the Info tab: the window
// connects to the simulator, then the loop has nothing to send and must
// sleep in the event loop instead of spinning.
//
//   build/bench/bench_idle_session [seconds]
#include "bench/cpu_time.h"
#include "ui/main_window.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>

namespace {
// Nothing should ask the user anything here; say so if something does.
struct ReportingPrompts : Prompts {
    void message(const QString&, const QString& text, PromptIcon) override {
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(text));
    }
    bool question(const QString&, const QString&, PromptIcon, bool) override { return false; }
    int confirm(int) override { return 3; }
    void about() override {}
    void banner() override {}
    QString saveFile(const SaveFileRequest&) override { return {}; }
    bool print(QPrinter&) override { return false; }
};
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? QString(argv[1]).toDouble() : 5.0;
    const QString bin = QCoreApplication::applicationDirPath() + "/../bin";

    QProcess sim;
    sim.start(bin + "/vandrix-sim", {"--scenario", bin + "/scenarios/demo_car.ini"});
    if (!sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "vandrix-sim did not start\n");
        return 1;
    }
    const QString tty = QString::fromLocal8Bit(sim.readLine()).trimmed();

    QTemporaryDir dir;
    QFile ini(dir.filePath("vandrix.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write("[Config]\nSplash=nein\nCOM-Port=" + tty.toUtf8() + "\n");
    ini.close();
    QFile::link(bin + "/labelfiles_de", dir.filePath("labelfiles_de"));

    ReportingPrompts prompts;
    TForm1Options options;
    options.programDir = dir.path();
    TForm1 window(prompts, options);
    window.ComboBox2->setCurrentIndex(2); // the engine

    double cpuIdle = -1;
    QTimer::singleShot(0, [&] {
        // Wait for the session to be up, then measure while it idles.
        auto* probe = new QTimer(&window);
        QObject::connect(probe, &QTimer::timeout, [&, probe] {
            if (window.state.ConnectionState != ConnectionState::Connected ||
                !window.BitBtn2->isEnabled())
                return;
            probe->stop();
            const double cpu0 = cpuSeconds();
            const auto t0 = std::chrono::steady_clock::now();
            QTimer::singleShot(int(seconds * 1000), [&, cpu0, t0] {
                const double wall =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
                cpuIdle = (cpuSeconds() - cpu0) / wall;
                window.BitBtn2Click();
            });
        });
        probe->start(50);
        window.BitBtn3Click();
        app.quit();
    });
    app.exec();
    sim.terminate();
    sim.waitForFinished(2000);

    if (cpuIdle < 0) {
        std::fprintf(stderr, "the session never connected\n");
        return 1;
    }
    std::printf(
        "CPU of a connected session idle on the Info tab: %.2f %% of a core (target < 2 %%)\n",
        100.0 * cpuIdle);
    return 0;
}
