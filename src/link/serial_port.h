#pragma once
// The serial link to the interface: one termios device, opened exclusively,
// raw 8N1 without flow control, with DTR and RTS cleared. The byte stream
// the program talks to the interface through.
#include "link/byte_stream.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QSocketNotifier;

// clang-format off
enum TBaudRate {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
    br38400, br56000, br57600, br115200, br128000, br256000
};
// clang-format on

class TCustomSerialPort : public ByteStream {
public:
    TCustomSerialPort();
    ~TCustomSerialPort() override;

    QString name() const override { return m_port; }
    bool Connected() const override { return m_fd >= 0; }

    const QString& Port() const { return m_port; }
    void SetPort(const QString& port);
    TBaudRate BaudRate() const { return m_baud; }
    void SetBaudRate(TBaudRate baud);
    int handle() const { return m_fd; }
    // Raises DTR for a cable powered from it; a terminal without modem
    // lines (a pseudo-terminal) is left as it is.
    void SetDTR(bool on) override;

protected:
    void openDevice() override;
    void closeDevice() override;
    QByteArray readDevice(qsizetype maxBytes, int timeoutMs) override;
    // Sends everything unless the write timeout passes first.
    qsizetype writeDevice(const QByteArray& bytes) override;
    // A hang-up without data raises SE_ReadFailed.
    bool waitDevice(int ms) override;
    // Sleeps in the event loop, woken by the descriptor, so a silent
    // interface never keeps the window from its events.
    bool waitWhileIdle(int ms, const std::function<void(int)>& idle,
                       bool idleRunsEventLoop) override;
    void checkDevice() override;
    void discardDevice(bool input, bool output) override;

private:
    void applyLineSettings();

    QString m_port = QStringLiteral("COM1");
    TBaudRate m_baud = br9600;
    int m_fd = -1;
    // Wakes the event loop when the descriptor is readable; enabled only
    // inside a wait, so pending bytes never keep the loop spinning.
    std::unique_ptr<QSocketNotifier> m_notifier;
    // Bytes taken from the device but not yet handed out; one system call
    // serves many one-character reads.
    QByteArray m_rx;
    qsizetype m_rxPos = 0;
};

class TSerialPort : public TCustomSerialPort {};
