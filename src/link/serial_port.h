#pragma once
// The serial link to the interface: one termios device, opened exclusively,
// raw 8N1 without flow control, with DTR and RTS cleared.
#include <QByteArray>
#include <QString>
#include <stdexcept>

enum SerialErrorCode {
    SE_OpenFailed = 1,
    SE_WriteFailed = 2,
    SE_ReadFailed = 3,
    SE_PurgeFailed = 5,
    SE_SetStateFailed = 7,
    SE_TimeoutsFailed = 8,
    SE_SetupComFailed = 9,
    SE_ClearComFailed = 10,
    SE_PortNotOpen = 24,
};

class ESerialPort : public std::runtime_error {
public:
    // winCode is the system error number (errno), or -1 when there is none.
    ESerialPort(int code, int winCode, const QString& detail = QString());
    int Code;
    int WinCode;
    // The system's reason ("No such file or directory"), empty when none.
    QString Reason;
    static QString codeText(int code);
};

enum TBaudRate {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
    br38400, br56000, br57600, br115200, br128000, br256000
};

struct TSerialTimeouts {
    int ReadInterval = -1;
    int ReadTotalMultiplier = 0;
    int ReadTotalConstant = 0;
    int WriteTotalMultiplier = 100;
    int WriteTotalConstant = 1000;
};

class TCustomSerialPort {
public:
    TCustomSerialPort();
    virtual ~TCustomSerialPort();
    TCustomSerialPort(const TCustomSerialPort&) = delete;
    TCustomSerialPort& operator=(const TCustomSerialPort&) = delete;

    void Open();
    void Close();
    // Reads at most count bytes; each byte becomes the character of the same
    // code. Returns how many arrived (the timeouts decide how long it waits).
    int ReadStr(QString& str, int count);
    // Sends the low byte of every character; returns the bytes written.
    int WriteStr(const QString& str);
    void ClearBuffer(bool input, bool output);
    // Waits up to ms for a byte to read; raises SE_ReadFailed on a hang-up.
    bool WaitReadable(int ms);
    // Raises SE_ReadFailed when the device has hung up (an adapter pulled
    // out), even while unread bytes are still buffered.
    void CheckHangUp();
    // How long one ReadStr waits for its first byte under the current timeouts.
    int readWaitMs() const;

    const QString& Port() const { return m_port; }
    void SetPort(const QString& port);
    TBaudRate BaudRate() const { return m_baud; }
    void SetBaudRate(TBaudRate baud);
    const TSerialTimeouts& Timeouts() const { return m_timeouts; }
    void SetReadInterval(int ms);
    void SetReadTotalMultiplier(int ms);
    void SetReadTotalConstant(int ms);
    bool Connected() const { return m_fd >= 0; }
    int handle() const { return m_fd; }

private:
    void applyLineSettings();

    QString m_port = QStringLiteral("COM1");
    TBaudRate m_baud = br9600;
    TSerialTimeouts m_timeouts;
    int m_fd = -1;
    // Bytes taken from the device but not yet handed out; one system call
    // serves many one-character reads.
    QByteArray m_rx;
    qsizetype m_rxPos = 0;
};

class TSerialPort : public TCustomSerialPort {};
