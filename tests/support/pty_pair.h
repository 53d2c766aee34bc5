#pragma once
// A pseudo-terminal pair for tests: the program opens slavePath() with its
// real serial port; the test plays the interface on the raw master side.
#include <QByteArray>
#include <QString>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    void write(const QByteArray& bytes);
    // Reads what the program sent, waiting up to timeoutMs for the first byte
    // and then until the line is quiet for quietMs.
    QByteArray read(int timeoutMs = 1000, int quietMs = 30);
    // Closing the master looks to the program like an unplugged adapter.
    void closeMaster();

private:
    int m_master = -1;
    int m_slaveKeep = -1; // keeps the slave alive between the program's opens
    QString m_slavePath;
};
