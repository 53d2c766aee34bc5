#pragma once
// SIGTERM and SIGINT end the window as Disconnect and closing do: a session
// or search under way stops, says "ATH", ends its recording and leaves only
// whole log rows; then the window closes. The handler itself only writes
// the signal's number into a socket pair; the event loop (the session's own
// message pump included) reads it there and acts, where Qt may be used.
#include <QObject>
#include <QTimer>
#include <csignal>

class QSocketNotifier;
class TForm1;

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Takes SIGTERM and SIGINT for window while it lives; one at a time.
    explicit TerminationSignals(TForm1& window);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // The last signal taken; 0 while none came.
    int received() const { return m_signal; }

private:
    void onSignal();
    void closeOnceStopped();

    TForm1& m_window;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_waitForStop;
    int m_signal = 0;
    struct sigaction m_oldTerm {};
    struct sigaction m_oldInt {};
};
