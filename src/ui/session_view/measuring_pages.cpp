// The measuring tabs of the session loop: Group (four slots), Rohdaten, Single
// Reading and BasicSettings.
// Owns: the slot labels, number fields and enable boxes of the Group tab, the
// raw value boxes and their group box captions, Label38, the two views of the
// BasicSettings tab, and the numbers in state (GroupNumber, BasicSettingGroup,
// SingleReadingChannel, SlotElapsed).
#include "config/clock.h"
#include "services/hex_number.h"
#include "services/requests.h"
#include "ui/fonts.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"
#include "ui/session_view/number_field.h"
#include "values/label_file.h"
#include "values/measured_value.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

namespace {

// A raw byte as three digits (7 shows 007). A byte the reply did not carry
// (-1) shows as 0-1, which tells it apart from a real zero.
QString ThreeDigits(int value) {
    return (QStringLiteral("000") + QString::number(value)).right(3);
}

void Paint(const std::array<TLabel*, 4>& labels, const QColor& colour) {
    for (TLabel* l : labels)
        l->setColor(colour);
}

// Names and values of a measuring block's four fields from the buffer.
void ShowBlock(const BlockBuffer& buffer, const IniFile& labelFile, int group,
               const std::array<TLabel*, 4>& names, const std::array<TLabel*, 4>& values) {
    for (int f = 1; f <= 4; ++f) {
        const BlockBuffer::Field field = buffer.field(f);
        names[f - 1]->setText(LookupGroupLabel(labelFile, group, f, field.type));
        values[f - 1]->setText(FormatMeasuredValue(field.type, field.a, field.b));
    }
}

void ShowRefused(const std::array<TLabel*, 4>& names, const std::array<TLabel*, 4>& values) {
    for (TLabel* n : names)
        n->setText(QStringLiteral("-"));
    for (TLabel* v : values)
        v->setText(QStringLiteral("NA"));
}

// Runs its action when the scope ends, also when a request throws, so that an
// ended session leaves no highlighted box or disabled field behind.
template <typename F> class AtScopeEnd {
public:
    explicit AtScopeEnd(F action) : m_action(std::move(action)) {}
    ~AtScopeEnd() { m_action(); }
    AtScopeEnd(const AtScopeEnd&) = delete;
    AtScopeEnd& operator=(const AtScopeEnd&) = delete;

private:
    F m_action;
};

} // namespace

bool TForm1::PollGroupPage(CommandChannel& channel) {
    bool sent = false;
    state.SlotElapsed.fill(-1);
    // The header waits for a pass that had LogToggled set from its start to
    // its end, so every label it names is fresh.
    int toggledThroughout = state.LogToggled ? 1 : 0;
    const NoteSink note = [this](const QString& line) { Memo1->appendPlainText(line); };

    for (size_t k = 0; k < 4; ++k) {
        if (GroupEnableBoxes[k]->isChecked()) {
            const auto& values = GroupValueBoxes[k];
            if (state.LoggingActive)
                state.SlotElapsed[k] = Clock::nowMs() - state.LogStartTick;
            AtScopeEnd idle([&values] { Paint(values, Colours::Idle); });
            if (CheckBox5->isChecked()) {
                Paint(values, Colours::Highlight);
                channel.processMessages();
            }
            state.GroupNumber[k] = ReadNumberField(GroupEdits[k], focusWidget() == GroupEdits[k],
                                                   state.GroupNumber[k], 1, 255);
            sent = true;
            if (ReadGroup(channel, state.Buffer, state.GroupNumber[k], note))
                ShowBlock(state.Buffer, state.LabelFile, state.GroupNumber[k], GroupNameLabels[k],
                          values);
            else
                ShowRefused(GroupNameLabels[k], values);
            FeedLiveGraph(k);
            if (state.LoggingActive)
                WriteGroupLogCells(k);
            channel.Pause(SessionState::PollInterval);
        }
        if (k < 3 && state.LogToggled)
            ++toggledThroughout;
    }

    FollowLogToggle(state.LogToggled && toggledThroughout == 4);
    EndGroupLogRow();
    return sent;
}

bool TForm1::PollRawPage(CommandChannel& channel) {
    if (ReadRawGroup(channel, state.Buffer)) {
        for (int n = 1; n <= 10; ++n) {
            RawValueBoxes[size_t(n - 1)]->setText(ThreeDigits(state.Buffer[n]));
            RawGroupBoxes[size_t(n - 1)]->setTitle(LookupRawLabel(state.LabelFile, n));
        }
    } else {
        for (size_t i = 0; i < 10; ++i) {
            RawValueBoxes[i]->setText(QStringLiteral("NA"));
            RawGroupBoxes[i]->setTitle(QString());
        }
    }
    if (state.LoggingActive)
        WriteRawLogRow();
    FollowLogToggle(state.LogToggled);
    channel.Pause(SessionState::PollInterval);
    return true;
}

bool TForm1::PollSingleReadingPage(CommandChannel& channel) {
    const int previous = state.SingleReadingChannel;
    state.SingleReadingChannel =
        ReadNumberField(Edit11, focusWidget() == Edit11, state.SingleReadingChannel, 0, 255);
    const bool changed = state.SingleReadingChannel != previous;
    {
        // A new channel can take a while to answer; the field waits for it.
        if (changed) {
            Edit11->setEnabled(false);
            UpDown7->setEnabled(false);
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
        AtScopeEnd restore([this, changed] {
            Edit11->setEnabled(true);
            UpDown7->setEnabled(true);
            if (changed)
                QApplication::restoreOverrideCursor();
        });

        if (ReadSingleValue(channel, state.SingleReadingChannel)) {
            // An odd value line or a missing prompt costs this reading only;
            // a port failure still ends the session.
            try {
                Label38->setText(QString::number(HexToIntStrict(channel.LastReply)));
            } catch (const EConvertError&) {
            }
            // Read even after a bad value, or the prompt would answer the next request.
            try {
                channel.ReadReply(true, false);
            } catch (const EDataError&) {
            }
        } else {
            Label38->setText(QStringLiteral("NA"));
        }
    }
    channel.Pause(SessionState::PollInterval);
    return true;
}

bool TForm1::PollBasicSettingsPage(CommandChannel& channel) {
    state.BasicSettingGroup =
        ReadNumberField(Edit10, focusWidget() == Edit10, state.BasicSettingGroup, 0, 255);
    const int group = state.BasicSettingGroup;
    // The view follows the group, not only its changes: the page starts with
    // the group view whatever the first number read, and group 0 read first
    // must still show the raw boxes its values go to.
    const bool groupView = group != 0;
    if (Label134->isHidden() != groupView) {
        for (TLabel* l : BasicNameLabels)
            l->setVisible(groupView);
        for (TLabel* l : BasicValueBoxes)
            l->setVisible(groupView);
        BitBtn14->setVisible(groupView);
        for (TLabel* l : BasicRawValueBoxes)
            l->setVisible(!groupView);
        BitBtn16->setVisible(!groupView);
        channel.processMessages();
    }
    if (!CheckBox8->isChecked())
        return false;

    auto paintAll = [this](const QColor& colour) {
        Paint(BasicValueBoxes, colour);
        for (TLabel* l : BasicRawValueBoxes)
            l->setColor(colour);
    };
    AtScopeEnd idle([&paintAll] { paintAll(Colours::Idle); });
    if (CheckBox9->isChecked()) {
        paintAll(Colours::Highlight);
        channel.processMessages();
    }
    if (group != 0) {
        if (ReadBasicSetting(channel, state.Buffer, group))
            ShowBlock(state.Buffer, state.LabelFile, group, BasicNameLabels, BasicValueBoxes);
        else
            ShowRefused(BasicNameLabels, BasicValueBoxes);
    } else if (ReadRawBasicSetting(channel, state.Buffer)) {
        // Every box shows its own byte, the first one included: a constant
        // in place of the unit's first value would be a plainly wrong result,
        // so that box is kept as built.
        for (int n = 1; n <= 10; ++n)
            BasicRawValueBoxes[size_t(n - 1)]->setText(ThreeDigits(state.Buffer[n]));
    } else {
        for (TLabel* l : BasicRawValueBoxes)
            l->setText(QStringLiteral("NA"));
    }
    // As fast as the link answers: no pause.
    return true;
}
