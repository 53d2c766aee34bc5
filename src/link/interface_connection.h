#pragma once
// Bringing the link up: wake the interface, make sure a Vandrix Pro chip
// answers, program its timing and K-line speed, and dial a control unit.
// Reports its steps and outcome as values; the front ends word them.
#include "config/config_values.h"

#include <QString>
#include <QStringList>
#include <exception>
#include <functional>

class CommandChannel;
class DebugTrace;

// The connection state shown by status panel 0's colour.
enum class ConnectionState { NotConnected = 0, Connecting = 1, Connected = 2 };
// The K-line protocol the connect reply names.
enum class ProtocolKind { Unknown = 0, KW1281 = 1, KW2000 = 2 };

struct AttemptSeen;
enum class AttemptEnd;

// What a connection attempt reports as it goes, in this order: started,
// then the port opened or not, the chip's identification line, and either
// connected or failed. The front end turns these into its panels and boxes.
class ConnectionObserver {
public:
    virtual ~ConnectionObserver() = default;
    // fixedBaud: the configured K-line rate, 0 when the chip chooses.
    virtual void attemptStarted(int fixedBaud) = 0;
    // Opens the port; false when it did not open (the observer has said why).
    virtual bool openPort() = 0;
    virtual void chipIdentified(const QString& identificationLine) = 0;
    // speedCode as the chip reports it ("ATN" codes, 0 unknown).
    virtual void connected(int speedCode, ProtocolKind protocol) = 0;
    // The attempt failed after the port opened (the port is closed next);
    // not called for a failure raised inside the dialogue.
    virtual void attemptFailed(AttemptEnd end, const AttemptSeen& seen) = 0;
};

using InterfaceSettings = InterfaceTiming;

// How a connection attempt ended, so the caller can say why it failed.
enum class AttemptEnd {
    Connected,
    PortNotOpened, // the user has seen the port's message already
    NoInterface,   // nothing answers the wake-up (message 306 in the window)
    NoChip,        // no "Vandrix Pro" in the reset answers (message 305)
    UnitSilent,    // the chip answered, the control unit did not connect
    AdapterLost,   // the port failed under the dialogue: adapter pulled out
    Cancelled,     // the cancel check of the channel ended a wait
    Failed,        // any other error inside the dialogue
    // The wake-up came back as it went out: a plain K-line cable, no chip.
    // The port is closed; the caller opens it again as such a cable.
    PlainCable,
};

// What actually arrived when an attempt failed.
struct AttemptSeen {
    enum class What {
        Nothing,    // no answer to the wake-up (message 306)
        WakeUpOnly, // the first wake-up answered, the second not (306)
        NoChipName, // reset answers without "Vandrix Pro" (305)
        UnitSilent, // the chip answered, the unit did not connect
        ErrorWord,  // the chip answered the address with an error word
    };
    What what = What::Nothing;
    // As received, CRs included (WakeUpOnly, NoChipName), or the error word.
    QString received;
    // Nothing answered, not even once more with DTR on: no interface, or a
    // plain cable without power.
    bool dtrTried = false;
};

// What a connection attempt learns about the chip and the unit.
struct InterfaceInfo {
    double ChipVersion = 0;
    ProtocolKind Protocol = ProtocolKind::Unknown;
    AttemptEnd End = AttemptEnd::Failed;
    AttemptSeen Seen; // of a failed attempt
    // The error that broke an attempt off (AdapterLost, Failed), for its reason.
    std::exception_ptr Error;
};

// "ATN" speed code of a K-line rate; 0 (automatic) for anything else.
int KLineSpeedCode(int baud);
// The rate text of a speed code ("9600"; 6 is "10400"), empty for 0 and
// unknown codes.
QString KLineSpeedText(int code);
// The version after " v" in the chip's identification line; 0 when no number.
double ParseChipVersion(const QString& identificationLine);

// Whether the answer to the wake-up (received, after sent went out) is a
// plain cable's echo. Given, the set-up also tries a silent port once more
// with DTR on before it gives up.
using CableProbe = std::function<bool(const QByteArray& sent, const QByteArray& received)>;

// Returns true when the interface reports a connection to the unit. On false
// the port is closed, except after an error inside the dialogue (AdapterLost,
// Cancelled, Failed), which the caller's own reset cleans up. info.End says
// how the attempt ended; PlainCable only with a probe, and then without
// attemptFailed.
bool ConnectInterface(int address, CommandChannel& channel, const InterfaceSettings& settings,
                      InterfaceInfo& info, ConnectionObserver& observer, DebugTrace* trace,
                      const CableProbe& probe = {});
// The protocol's name as the status bar shows it ("KW 1281", "KW 2000").
QString ProtocolName(ProtocolKind protocol);
