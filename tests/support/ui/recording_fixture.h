#pragma once
// Sessions recorded and replayed through the real window: what a session
// showed the user, the steps that make it show a group and the faults, and
// the recording a session left.
#include "link/recording.h"
#include "services/fault_codes.h"
#include "support/recording_commands.h"
#include "support/ui/session_fixture.h"

#include <QCheckBox>
#include <QLineEdit>

// What a session showed: identification, slot 1 of the Group page, faults.
struct Shown {
    QStringList identification; // part, component, extra, workshop code, device, coding
    QStringList values;
    FaultCodeList faults;
};

class RecordingTest : public SessionTest {
protected:
    static QStringList identificationOf(const TForm1& w) {
        return {w.Label6->text(), w.Label7->text(),   w.Label8->text(),
                w.Label9->text(), w.Label145->text(), w.Label100->text()};
    }
    // Slot 1 of the Group page on group.
    static void readGroup(TForm1& w, int group) {
        w.PageControl1->setActivePage(w.TabSheet2);
        w.Edit2->setText(QString::number(group));
        w.CheckBox1->setChecked(true);
    }
    static bool groupShown(const TForm1& w) { return !w.Label12->text().isEmpty(); }
    static QStringList groupValuesOf(const TForm1& w) {
        QStringList values;
        for (TLabel* box : w.GroupValueBoxes[0])
            values << box->text();
        return values;
    }
    static bool faultsShown(const TForm1& w) {
        return !w.StringGrid1->cell(1, 1).isEmpty() || !w.StringGrid1->cell(2, 1).isEmpty();
    }

    // Once connected: group in slot 1 of the Group page until its values
    // show, then the fault page until a read is shown.
    std::vector<Step> showGroupAndFaults(int group, Shown& shown) {
        TForm1& w = *window;
        return {
            {"connected", [] { return true; },
             [&w, &shown, group] {
                 shown.identification = identificationOf(w);
                 readGroup(w, group);
             }},
            {"group values shown", [&w] { return groupShown(w); },
             [&w, &shown] {
                 shown.values = groupValuesOf(w);
                 w.PageControl1->setActivePage(w.TabSheet3);
             }},
            {"faults shown", [&w] { return faultsShown(w); },
             [&w, &shown] { shown.faults = w.state.FaultCodes; }},
        };
    }

    // The recording the window's last session, search or check left.
    Recording::File lastRecording() const {
        QString error;
        std::optional<Recording::File> file = Recording::read(window->Recorder.path(), &error);
        EXPECT_TRUE(file) << error.toStdString();
        return file.value_or(Recording::File{});
    }
};
