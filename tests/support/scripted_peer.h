#pragma once
// A scripted interface on the master side of a PtyPair, on its own thread:
// every command line (ended by CR) is answered from a table, and every line
// received is recorded. For protocol details the full simulator is the
// better peer; this one shows exact byte sequences and misbehaviour.
#include "support/pty_pair.h"

#include <QByteArray>
#include <QStringList>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class ScriptedPeer {
public:
    // Returns the bytes to send for one received command (without its CR).
    using Responder = std::function<QByteArray(const QByteArray& command)>;

    ScriptedPeer(PtyPair& pty, Responder responder);
    ~ScriptedPeer();

    QStringList received() const;

private:
    void run();

    PtyPair& m_pty;
    Responder m_responder;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    QStringList m_received;
    std::thread m_thread;
};
