#pragma once
// What the pseudo-terminal host serves: bytes in, bytes out, on the host's
// clock (microseconds, any origin, never backwards). The simulated car
// (SimEngine) and the replay of a recording (ReplayEngine) are two of them.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class SimPeer {
public:
    // Called for every command with its number (from 1), its arrival time,
    // its text without the CR and a note (empty, or why it was not served).
    using TranscriptSink = std::function<void(int number, int64_t timeUs, std::string_view command,
                                              std::string_view note)>;

    virtual ~SimPeer() = default;
    virtual void receive(std::string_view bytes, int64_t nowUs) = 0;
    // Appends every byte due by nowUs to out.
    virtual void takeOutput(int64_t nowUs, std::string& out) = 0;
    // Time at which the next queued byte is due; -1 when nothing is queued.
    virtual int64_t nextOutputUs() const = 0;
    // The link is to be dropped, as when the adapter is pulled out.
    virtual bool linkDropped() const = 0;
    virtual void setTranscriptSink(TranscriptSink sink) = 0;
};
