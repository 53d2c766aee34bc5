#include "sim/replay_engine.h"

#include "link/recording.h"

#include <algorithm>

namespace {
std::string stdString(const QByteArray& bytes) {
    return std::string(bytes.constData(), size_t(bytes.size()));
}
} // namespace

ReplayEngine::ReplayEngine(std::vector<ReplayExchange> exchanges, bool pace)
    : m_exchanges(std::move(exchanges)), m_pace(pace) {
    m_line.reserve(MaxCommandChars);
}

std::vector<ReplayExchange> ReplayEngine::exchangesOf(const Recording::File& file) {
    std::vector<ReplayExchange> out;
    std::string partial;   // sent bytes after the last CR
    int64_t sentMs = 0;    // when the current command went out
    bool replying = false; // received bytes belong to out.back()
    for (const Recording::Chunk& chunk : file.chunks) {
        switch (chunk.direction) {
        case Recording::Direction::Sent:
            for (const char c : chunk.bytes) {
                if (c != '\r') {
                    partial += c;
                    continue;
                }
                out.push_back({std::exchange(partial, std::string()), {}, false});
                replying = true;
            }
            sentMs = chunk.ms;
            break;
        case Recording::Direction::Received:
            // Bytes before the first command, or after a reopened port, answer nothing.
            if (replying)
                out.back().reply.push_back(
                    {std::max<int64_t>(0, chunk.ms - sentMs) * 1000, stdString(chunk.bytes)});
            break;
        case Recording::Direction::Event:
            if (replying && chunk.bytes.startsWith("failed") && chunk.bytes.contains("hung up"))
                out.back().hangsUp = true;
            if (chunk.bytes.startsWith("open") || chunk.bytes.startsWith("close"))
                replying = false;
            break;
        default:
            // A plain cable's K-line bytes lie below the text dialogue served here.
            break;
        }
    }
    return out;
}

std::unique_ptr<ReplayEngine> ReplayEngine::open(const QString& path, bool pace, QString* error) {
    QString why;
    const std::optional<Recording::File> file = Recording::read(path, &why);
    if (!file) {
        if (error)
            *error = QStringLiteral("cannot replay %1: %2").arg(path, why);
        return nullptr;
    }
    // A file that only starts like a recording serves nothing that was said.
    std::vector<ReplayExchange> exchanges = exchangesOf(*file);
    if (exchanges.empty() || file->badLines.size() > file->chunks.size()) {
        if (error)
            *error = QStringLiteral("cannot replay %1: %2")
                         .arg(path, file->chunks.isEmpty() || exchanges.empty()
                                        ? QStringLiteral("it holds no recorded commands")
                                        : QStringLiteral("%1 of its lines are no recording lines")
                                              .arg(file->badLines.size()));
        return nullptr;
    }
    return std::make_unique<ReplayEngine>(std::move(exchanges), pace);
}

void ReplayEngine::receive(std::string_view bytes, int64_t nowUs) {
    for (const char c : bytes) {
        if (c == '\r') {
            handleCommand(nowUs);
            m_line.clear();
        } else if (c != '\n' && m_line.size() < MaxCommandChars) {
            m_line += c;
        }
    }
}

void ReplayEngine::handleCommand(int64_t nowUs) {
    ++m_count;
    if (m_dropped)
        return;
    auto same = [this](const ReplayExchange& e) { return e.command == m_line; };
    const auto from = m_exchanges.begin() + ptrdiff_t(m_next);
    auto found = std::find_if(from, m_exchanges.end(), same);
    std::string_view note;
    if (found != m_exchanges.end()) {
        m_next = size_t(found - m_exchanges.begin()) + 1;
    } else {
        const auto earlier =
            std::find_if(std::make_reverse_iterator(from), m_exchanges.rend(), same);
        if (earlier == m_exchanges.rend()) {
            ++m_mismatches;
            if (m_transcript)
                m_transcript(m_count, nowUs, m_line, NotRecorded);
            queue(nowUs, "?\r>", false);
            return;
        }
        found = earlier.base() - 1;
        note = Repeated;
    }
    if (m_transcript)
        m_transcript(m_count, nowUs, m_line, note);
    const ReplayExchange& e = *found;
    for (size_t i = 0; i < e.reply.size(); ++i)
        queue(nowUs + (m_pace ? e.reply[i].afterUs : 0), e.reply[i].bytes,
              e.hangsUp && i + 1 == e.reply.size());
    if (e.hangsUp && e.reply.empty())
        m_dropped = true;
}

void ReplayEngine::queue(int64_t atUs, std::string bytes, bool dropAfter) {
    // Never ahead of what is queued already: bytes leave in order.
    if (!m_out.empty())
        atUs = std::max(atUs, m_out.back().atUs);
    m_out.push_back({atUs, std::move(bytes), dropAfter});
}

void ReplayEngine::takeOutput(int64_t nowUs, std::string& out) {
    while (!m_out.empty() && m_out.front().atUs <= nowUs && !m_dropped) {
        out += m_out.front().bytes;
        m_dropped = m_out.front().dropAfter;
        m_out.pop_front();
    }
}

int64_t ReplayEngine::nextOutputUs() const {
    return m_out.empty() || m_dropped ? -1 : m_out.front().atUs;
}
