// Recordings as the replay reads them, plain and packed: any bytes as a
// file, the same bytes packed, and the replay served from what was read.
// Every chunk written back reads back the same; a packed recording reads as
// its plain self; the replay answers every command and never runs ahead.
#include "link/recording.h"
#include "fuzz_support.h"
#include "sim/replay_engine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile::remove(path);
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly));
    FUZZ_CHECK(f.write(bytes) == bytes.size());
    return path;
}

bool sameChunks(const Recording::File& a, const Recording::File& b) {
    if (a.chunks.size() != b.chunks.size() || a.badLines != b.badLines || a.header != b.header)
        return false;
    for (qsizetype i = 0; i < a.chunks.size(); ++i)
        if (Recording::chunkLine(a.chunks[i]) != Recording::chunkLine(b.chunks[i]))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid());
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    // Most inputs start as a recording, so that the chunks are reached.
    const QByteArray text =
        (size > 0 && data[0] == '#') ? input : QByteArray(Recording::FirstLine) + '\n' + input;

    const Recording::File parsed = Recording::parse(text);
    for (const Recording::Chunk& chunk : parsed.chunks) {
        const std::optional<Recording::Chunk> again =
            Recording::parseChunk(Recording::chunkLine(chunk));
        FUZZ_CHECK(again && Recording::chunkLine(*again) == Recording::chunkLine(chunk));
    }

    const QString plain = writeFile(dir.filePath(QStringLiteral("r.vrec")), text);
    QString error;
    const std::optional<Recording::File> read = Recording::read(plain, &error);
    FUZZ_CHECK(read.has_value() == text.startsWith(Recording::FirstLine));
    FUZZ_CHECK(read || !error.isEmpty());
    if (read)
        FUZZ_CHECK(sameChunks(*read, parsed));

    const QString packed = dir.filePath(QStringLiteral("r.vrec.gz"));
    QFile::remove(packed);
    FUZZ_CHECK(Recording::compress(plain, packed, &error));
    const std::optional<Recording::File> unpacked = Recording::read(packed, &error);
    FUZZ_CHECK(unpacked.has_value() == read.has_value());
    if (unpacked)
        FUZZ_CHECK(sameChunks(*unpacked, *read));

    // The raw bytes as a packed file: a broken or cut stream is refused or
    // read as far as it goes, never more.
    const QString raw = writeFile(dir.filePath(QStringLiteral("x.vrec.gz")), input);
    if (const auto loaded = Recording::load(raw, 1 << 20, &error))
        FUZZ_CHECK(loaded->size() <= (1 << 20));

    QString why;
    std::unique_ptr<ReplayEngine> engine = ReplayEngine::open(plain, false, &why);
    FUZZ_CHECK(engine || !why.isEmpty());
    if (!engine)
        return 0;
    // Every command the recording holds gets its reply, in order.
    const std::vector<ReplayExchange> exchanges =
        ReplayEngine::exchangesOf(read.value_or(Recording::File{}));
    FUZZ_CHECK(!exchanges.empty());
    int64_t now = 0;
    std::string out;
    for (const ReplayExchange& e : exchanges) {
        if (engine->linkDropped())
            break;
        engine->receive(e.command + '\r', now);
        now += 1000;
        engine->takeOutput(now, out);
        FUZZ_CHECK(engine->nextOutputUs() < 0 || engine->nextOutputUs() > now ||
                   engine->linkDropped());
    }
    engine->receive("NOT RECORDED COMMAND \x01\r", now);
    engine->takeOutput(now + 1, out);
    return 0;
}
