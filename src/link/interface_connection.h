#pragma once
// Bringing the link up: wake the interface, make sure a Vandrix Pro chip
// answers, program its timing and K-line speed, and dial a control unit.
// Kept free of widgets; the window supplies a ConnectionView.
#include <QString>
#include <QStringList>
#include <functional>

class CommandChannel;
class DebugTrace;

class ConnectionView {
public:
    virtual ~ConnectionView() = default;
    virtual void setStatusPanel(int panel, const QString& text) = 0;
    // 0 not connected, 1 connecting, 2 connected: also the colour of panel 0.
    virtual void setConnectionState(int state) = 0;
    // Marks a fixed K-line speed in panel 1.
    virtual void setFixedBaudMarked(int marked) = 0;
    virtual void repaintStatus() {}
    // Opens the port; on failure it has told the user already.
    virtual bool openPort() = 0;
    // A modal box with caption id 301, the text of messageId and, on a line
    // below it, detail: what actually arrived.
    virtual void showConnectionError(int messageId, const QString& detail) = 0;
    virtual void resetConnectionView() = 0;
    virtual QString text(int id) const = 0; // string table, in the user's language
};

struct InterfaceSettings {
    int InterByteTime = 5;
    int BlockDelayTime = 40;
    int KLineBaud = 0;
};

// How a connection attempt ended, so the caller can say why it failed.
enum class AttemptEnd {
    Connected,
    PortNotOpened, // the user has seen the port's message already
    NoInterface,   // message 306
    NoChip,        // message 305
    UnitSilent,    // the chip answered, the control unit did not connect
    AdapterLost,   // the port failed under the dialogue: adapter pulled out
    Cancelled,     // the cancel check of the channel ended a wait
    Failed,        // any other error inside the dialogue
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
};

// What a connection attempt learns about the chip and the unit.
struct InterfaceInfo {
    double ChipVersion = 0;
    int ProtocolKind = 0;
    AttemptEnd End = AttemptEnd::Failed;
    AttemptSeen Seen; // of a failed attempt
};

// The line that says what a failed attempt saw, in the language of text
// (the string table lookup of the caller). address is the unit's.
QString AttemptSeenText(const AttemptSeen& seen, int address,
                        const std::function<QString(int id)>& text);

// "ATN" speed code of a K-line rate; 0 (automatic) for anything else.
int KLineSpeedCode(int baud);
// The rate text of a speed code ("9600"; 6 is "10400"), empty for 0 and
// unknown codes.
QString KLineSpeedText(int code);
// The version after " v" in the chip's identification line; 0 when no number.
double ParseChipVersion(const QString& identificationLine);

// Returns true when the interface reports a connection to the unit. On false
// the port is closed, except after an error inside the dialogue (AdapterLost,
// Cancelled, Failed), which the caller's own reset cleans up. info.End says
// how the attempt ended.
bool ConnectInterface(int address, CommandChannel& channel, const InterfaceSettings& settings,
                      InterfaceInfo& info, ConnectionView& view, DebugTrace* trace);
