// What opening a large CSV log in the graph costs: writes a log of the
// window's own format (four ticked Group slots, German separators), opens it
// in a file graph window and prints the time until it is drawn and the
// process's peak memory. Goal: 500,000 rows in at most 2 s and 300 MB.
// With BENCH_READ_ONLY set, only the reader and the model are measured.
//
//   build/bench/bench_graph_open_log [rows, default 500000]
#include "ui/graph_window.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

class NoPrompts : public Prompts {
public:
    void message(const QString&, const QString& text, PromptIcon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool question(const QString&, const QString&, PromptIcon, bool) override { return false; }
    int confirm(int) override { return 2; }
    void about() override {}
    void banner() override {}
    QString saveFile(const SaveFileRequest&) override { return QString(); }
    bool print(QPrinter&) override { return false; }
};

qint64 peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void writeLog(const QString& path, qint64 rows) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        std::abort();
    QByteArray text = "Vandrix Version 1.41;https://example.org\r\n01.02.2024;10:00:00\r\n"
                      "Steuergerät:;001 [01] - Motor (ECU)\r\nVAG Geräte-Typnummer:;036906034AM\r\n"
                      "\r\nMeßwerte\r\n";
    for (int slot = 1; slot <= 4; ++slot)
        for (int c = 0; c < 6; ++c)
            text += "Gruppe " + QByteArray::number(slot) + ";";
    text += "\r\n";
    for (int slot = 1; slot <= 4; ++slot)
        text += "Zeit [ms];HH:MM:SS,ms;Drehzahl [upm];Temperatur [°C];Last [%];Spannung [V];";
    text += "\r\n";
    f.write(text);
    QByteArray row;
    for (qint64 r = 0; r < rows; ++r) {
        row.clear();
        const qint64 ms = r * 43;
        for (int slot = 0; slot < 4; ++slot) {
            const qint64 t = ms + slot * 10;
            row += QByteArray::number(t) + ";0:0:" + QByteArray::number((t / 1000) % 60) + "," +
                   QByteArray::number(t % 1000).rightJustified(3, '0') + ";";
            row += "1." + QByteArray::number(100 + r % 900) + ";" +
                   QByteArray::number(80 + r % 20) + ",5;" + QByteArray::number(r % 100) + ";13," +
                   QByteArray::number(10 + r % 90) + ";";
        }
        row += "\r\n";
        f.write(row);
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QString(argv[1]).toLongLong() : 500000;
    QTemporaryDir dir;
    const QString path = dir.filePath("big.csv");
    writeLog(path, rows);
    const qint64 before = peakKilobytes();

    QElapsedTimer timer;
    timer.start();
    if (qEnvironmentVariableIsSet("BENCH_READ_ONLY")) {
        NumericLog log = ReadLogNumbers(path, LogReadLimits{}, [](qint64, qint64) {
            QCoreApplication::processEvents();
            return true;
        });
        std::printf("read: %lld ms, peak %lld MB\n", static_cast<long long>(timer.elapsed()),
                    static_cast<long long>(peakKilobytes() / 1024));
        GraphModel model;
        AddRecording(model, std::move(log.recordings[0]));
        std::printf("model: %lld ms, peak %lld MB\n", static_cast<long long>(timer.elapsed()),
                    static_cast<long long>(peakKilobytes() / 1024));
        model.valueRange("upm", 0, 1e9);
        std::printf("range: %lld ms, peak %lld MB\n", static_cast<long long>(timer.elapsed()),
                    static_cast<long long>(peakKilobytes() / 1024));
        return 0;
    }
    NoPrompts prompts;
    GraphWindow window(prompts, 0, GraphWindow::Source::File);
    window.resize(1100, 620);
    window.show();
    if (!window.openLog(path))
        return 1;
    std::printf("opened: %lld ms, peak %lld MB\n", static_cast<long long>(timer.elapsed()),
                static_cast<long long>(peakKilobytes() / 1024));
    window.redraw();
    app.processEvents();
    window.chartView()->grab();
    const qint64 openMs = timer.elapsed();
    timer.restart();
    window.zoomTo(1000, 2000);
    window.chartView()->grab();
    const qint64 zoomMs = timer.elapsed();

    std::printf("rows %lld, file %.1f MB\n", static_cast<long long>(rows),
                double(QFile(path).size()) / 1e6);
    std::printf("open and draw: %lld ms (goal 2000)\n", static_cast<long long>(openMs));
    std::printf("zoom and draw: %lld ms\n", static_cast<long long>(zoomMs));
    std::printf("peak memory: %lld MB (%lld MB before opening; goal 300)\n",
                static_cast<long long>(peakKilobytes() / 1024),
                static_cast<long long>(before / 1024));
    return 0;
}
