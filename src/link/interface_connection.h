#pragma once
// Bringing the link up: wake the interface, make sure a Vandrix Pro chip
// answers, program its timing and K-line speed, and dial a control unit.
// Kept free of widgets; the window supplies a ConnectionView.
#include <QString>

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
    // A modal box with caption id 301 and the text of messageId.
    virtual void showConnectionError(int messageId) = 0;
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

// What a connection attempt learns about the chip and the unit.
struct InterfaceInfo {
    double ChipVersion = 0;
    int ProtocolKind = 0;
    AttemptEnd End = AttemptEnd::Failed;
};

// "ATN" speed code of a K-line rate; 0 (automatic) for anything else.
int KLineSpeedCode(int baud);
// The rate text of a speed code ("9600"), empty for 0 and unknown codes.
QString KLineSpeedText(int code);
// The version after " v" in the chip's identification line; 0 when no number.
double ParseChipVersion(const QString& identificationLine);

// Returns true when the interface reports a connection to the unit. On false
// the port is closed, except after an error inside the dialogue (AdapterLost,
// Cancelled, Failed), which the caller's own reset cleans up. info.End says
// how the attempt ended.
bool ConnectInterface(int address, CommandChannel& channel, const InterfaceSettings& settings,
                      InterfaceInfo& info, ConnectionView& view, DebugTrace* trace);
