#pragma once
// A recording served back as an interface. Each command is answered with the
// reply recorded for the same command at that point of the recording:
// commands are matched in order, the next one of the same text wins; a
// command the recording holds only earlier gets its latest earlier reply
// again (a replay that polls a little longer than the original), and one it
// does not hold at all gets "?" and the prompt, with a note for the
// transcript. With pacing the replies keep their recorded delays after the
// command; a recording that ends in a hang-up drops the link where the
// original did.
#include "sim/sim_peer.h"

#include <QString>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace Recording {
struct File;
}

struct ReplayExchange {
    struct Piece {
        int64_t afterUs = 0; // after the command was sent
        std::string bytes;
    };
    std::string command; // without its CR; empty for a lone CR
    std::vector<Piece> reply;
    bool hangsUp = false; // the original's port hung up after this reply
};

class ReplayEngine : public SimPeer {
public:
    ReplayEngine(std::vector<ReplayExchange> exchanges, bool pace);

    // The exchanges of a recording: sent bytes split at CR into commands,
    // the bytes received after a command up to the next one its reply.
    static std::vector<ReplayExchange> exchangesOf(const Recording::File& file);
    // Reads a recording; nullptr, with the reason in error, when it cannot.
    static std::unique_ptr<ReplayEngine> open(const QString& path, bool pace, QString* error);

    void receive(std::string_view bytes, int64_t nowUs) override;
    void takeOutput(int64_t nowUs, std::string& out) override;
    int64_t nextOutputUs() const override;
    bool linkDropped() const override { return m_dropped; }
    void setTranscriptSink(TranscriptSink sink) override { m_transcript = std::move(sink); }

    static constexpr std::string_view NotRecorded = "not in the recording";
    static constexpr std::string_view Repeated = "answered as earlier in the recording";
    static constexpr size_t MaxCommandChars = 256;

    // Commands that got "?" because the recording does not hold them.
    int mismatches() const { return m_mismatches; }

private:
    void handleCommand(int64_t nowUs);
    void queue(int64_t atUs, std::string bytes, bool dropAfter);

    struct Due {
        int64_t atUs;
        std::string bytes;
        bool dropAfter;
    };

    std::vector<ReplayExchange> m_exchanges;
    size_t m_next = 0; // the first exchange not yet served in order
    bool m_pace;
    std::string m_line;
    int m_count = 0;
    int m_mismatches = 0;
    std::deque<Due> m_out;
    bool m_dropped = false;
    TranscriptSink m_transcript;
};
