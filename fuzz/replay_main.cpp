// Replays a fuzz target's corpus through its entry point with the ordinary
// compiler, so the tests check every kept input without clang:
//   fuzz_replay_<target> DIR_OR_FILE...
// A broken property aborts, as it does under libFuzzer.
#include "fuzz_support.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char** argv) {
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(path).isDir()) {
            QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
        } else {
            files << path;
        }
    }
    files.sort();
    if (files.isEmpty()) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    for (const QString& file : files) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(file));
            return 1;
        }
        const QByteArray input = f.readAll();
        std::fprintf(stderr, "%s\n", qPrintable(file));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()),
                               size_t(input.size()));
    }
    std::printf("%lld inputs replayed\n", static_cast<long long>(files.size()));
    return 0;
}
