// The Readiness and Spannung tabs of the session loop.
// Owns: the readiness digits, marks and Label89 while a session runs, and the
// six voltage result labels with their refresh colours.
#include "services/hex_number.h"
#include "services/requests.h"
#include "ui/fonts.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"
#include "values/readiness_voltage.h"

#include <QCheckBox>

namespace {

const QColor NotCompleted{255, 0, 0};
const QColor Completed{0, 128, 0};

// Puts a label back to rest also when a request throws, so an ended session
// leaves no highlighted box behind.
class RestColour {
public:
    explicit RestColour(TLabel* label) : m_label(label) {}
    ~RestColour() { m_label->setColor(Colours::Idle); }
    RestColour(const RestColour&) = delete;
    RestColour& operator=(const RestColour&) = delete;

private:
    TLabel* m_label;
};

} // namespace

bool TForm1::PollReadinessPage(CommandChannel& channel) {
    if (RequestReadiness(channel)) {
        // A reply that is no number ends the session like any broken reply.
        const int byte = HexToIntStrict(channel.LastReply) & 0xFF;
        // The report takes a visible Label89 for a failed last read, so a
        // good read takes back an earlier failure's notice.
        Label89->hide();
        for (int n = 7; n >= 0; --n) {
            const bool open = ReadinessBit(byte, n);
            // Digits run from bit 7 at the left; marks from bit 0 at the top.
            ReadinessDigits[size_t(n)]->setText(open ? QStringLiteral("1") : QStringLiteral("0"));
            TLabel* mark = ReadinessMarks[size_t(7 - n)];
            mark->setFontColor(open ? NotCompleted : Completed);
            mark->setText(open ? ReadinessCrossMark() : ReadinessCheckMark());
        }
        channel.ReadReply(true, false);
    } else {
        Label89->show();
        for (TLabel* mark : ReadinessMarks)
            mark->setText(QString());
        for (TLabel* digit : ReadinessDigits)
            digit->setText(QStringLiteral("-"));
    }
    channel.Pause(SessionState::PollInterval);
    return true;
}

bool TForm1::PollVoltagePage(CommandChannel& channel) {
    bool sent = false;
    for (size_t k = 0; k < VoltageValueBoxes.size(); ++k) {
        TLabel* result = VoltageValueBoxes[k];
        {
            RestColour rest(result);
            // Asked anew for each input: a tick may change between two inputs.
            if (VoltageCheckBoxes[k]->isChecked()) {
                if (CheckBox16->isChecked())
                    result->setColor(Colours::Highlight);
                channel.processMessages();
                sent = true;
                if (ReadInterfaceVoltage(channel, int(k)))
                    result->setText(FormatInterfaceVoltage(HexToIntStrict(channel.LastReply),
                                                           state.U2, state.TV[k]));
                else
                    result->setText(QString());
            } else {
                result->setText(QString());
            }
        }
        channel.processMessages();
    }
    // No pause: as fast as the chip answers.
    return sent;
}
