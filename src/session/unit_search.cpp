// TForm1::SearchECUs: connects to every ticked unit of the search list in
// turn and writes what it found into the report Memo2.
// Owns: Memo2's text and scroll bars, the window's busy view during a search.
#include "config/strings.h"
#include "services/requests.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <exception>

namespace {

QString padded(const QString& text, int width) {
    return text.leftJustified(width, u' ', false);
}

// One report line each; a CR inside an identification value would split it.
void addLine(QPlainTextEdit* memo, QString line) {
    line.remove(QLatin1Char('\r'));
    line.remove(QLatin1Char('\n'));
    memo->appendPlainText(line);
}

} // namespace

void TForm1::ShowSearchingView() {
    state.SessionRunning = true;
    BitBtn3->hide();
    BitBtn3->setDefault(false);
    BitBtn2->show();
    BitBtn2->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{BitBtn1, ComboBox1, ComboBox2, ComboBox3,
                                                      CheckListBox1, CheckBox6})
        w->setEnabled(false);
    if (!QApplication::overrideCursor())
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TForm1::SearchECUs() {
    Memo2->setEnabled(false);
    Memo2->clear();
    ScanSavedLabel->clear();
    Memo2->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    state.StopRequested = false;
    for (TLabel* label : {Label6, Label7, Label8, Label9, Label97})
        label->setText(QString());
    StatusBar1->setPanelText(0, Str(7));
    state.ConnectionState = 1;
    for (int panel = 1; panel <= 4; ++panel)
        StatusBar1->setPanelText(panel, QString());
    StatusBar1->update();
    ShowSearchingView();

    auto add = [this](const QString& line) { addLine(Memo2, line); };
    try {
        for (int i = 0; i < CheckListBox1->count(); ++i) {
            const QListWidgetItem* item = CheckListBox1->item(i);
            if (item->checkState() != Qt::Checked)
                continue;
            for (int panel = 1; panel <= 3; ++panel)
                StatusBar1->setPanelText(panel, QString());
            const QString entry = item->text();
            add(QStringLiteral("======== ") + entry + QLatin1Char(' ') +
                QString(std::max(qsizetype(0), 65 - entry.size()), u'='));

            if (ConnectInterface(entry.left(3).toInt())) {
                CommandChannel& channel = Channel();
                TecuID id;
                ReadIdentification(channel, id, state.LanguageOffset);
                add(QStringLiteral("-> ") + Str(69) + QStringLiteral(" <-"));
                add(QStringLiteral(" "));
                const std::pair<int, QString> identification[] = {
                    {16, id.VAGTyp}, {17, id.Part}, {20, id.Zusatz}, {19, id.WSC}, {71, id.Coding}};
                for (const auto& [label, value] : identification)
                    add(padded(Str(label), 30) + value);

                if (ReadFaultCodes(channel, state.FaultCodes) == FaultReadOutcome::Found) {
                    add(QStringLiteral("-> ") + QString::number(state.FaultCodes.size()) +
                        QLatin1Char(' ') + Str(100) + QStringLiteral(" <-"));
                    int n = 0;
                    for (const FaultCode& fault : state.FaultCodes) {
                        add(QStringLiteral("-- ") + QString::number(++n) + QStringLiteral(" --"));
                        add(QLatin1Char(' ') + FaultCodeDigits(fault.code) + QStringLiteral("  ") +
                            DtcCodeText(fault.code));
                        add(QLatin1Char(' ') + padded(QString::number(fault.status), 7) +
                            DtcStatusText(fault.status));
                    }
                }
                EndDiagnosis(channel);
            } else {
                add(QStringLiteral("-> ") + Str(70) + QStringLiteral(" <-"));
                if (!state.Closing)
                    ShowSearchingView();
            }
            add(QStringLiteral(" "));
            add(QStringLiteral(" "));
            if (state.StopRequested)
                break;
        }
    } catch (const std::exception&) {
        // The report stops where the failure struck; the window is usable
        // again before the failure is shown.
        CloseSessionPort();
        state.SessionRunning = false;
        if (state.Closing)
            return;
        KeepScanReport();
        Memo2->setEnabled(true);
        ResetConnectionView();
        BitBtn6->setEnabled(false);
        throw;
    }

    add(QStringLiteral("******** Vandrix ") + LoadStr(0) + QLatin1Char(' ') + QString(43, u'*'));
    KeepScanReport();
    Memo2->setEnabled(true);
    Memo2->moveCursor(QTextCursor::End);
    Memo2->ensureCursorVisible();
    Memo2->setFocus();
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    CloseSessionPort();
    state.SessionRunning = false;
    if (state.Closing)
        return;
    ResetConnectionView();
    BitBtn6->setEnabled(false);
}
