// The fault code page: the DTCs row of the session loop and the fault table.
// Owns: StringGrid1's data rows, state.FaultCodes, BitBtn4 while the page is
// polled. The clear itself is a request the session loop carries out.
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QPushButton>

bool TForm1::PollFaultCodePage(CommandChannel& channel) {
    ShowFaultCodes(ReadFaultCodes(channel, state.FaultCodes));
    BitBtn4->setEnabled(true);
    channel.Pause(SessionState::PollInterval);
    return true;
}

void TForm1::ShowFaultCodes(FaultReadOutcome outcome) {
    if (outcome == FaultReadOutcome::Found) {
        const FaultCodeList& faults = state.FaultCodes;
        StringGrid1->setRowCount(int(faults.size()) + 1);
        for (int row = 1; row <= faults.size(); ++row) {
            const FaultCode& fault = faults.at(row - 1);
            StringGrid1->setCell(0, row, QString::number(row));
            StringGrid1->setCell(1, row, FaultCodeCell(fault));
            // Written even without a text file: a text left from an earlier
            // read ("No errors stored") must not stand beside a real fault.
            StringGrid1->setCell(2, row, DtcCodeText(fault.code));
            StringGrid1->setCell(3, row, DtcStatusText(fault.status));
        }
        return;
    }
    // Rows of an earlier read go, so a cleared memory shows only the message.
    StringGrid1->setRowCount(2);
    StringGrid1->setCell(0, 1, QString());
    StringGrid1->setCell(1, 1, QString());
    StringGrid1->setCell(2, 1, Str(FaultOutcomeMessageId(outcome)));
    StringGrid1->setCell(3, 1, QString());
}
