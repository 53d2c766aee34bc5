// TForm1::SearchECUs: connects to every ticked unit of the search list in
// turn and writes what it found into the report Memo2.
// Owns: Memo2's text and scroll bars, the window's busy view during a search.
#include "config/strings.h"
#include "link/interface_connection.h"
#include "reports/kept_scan.h"
#include "reports/search_report.h"
#include "services/requests.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTextCursor>
#include <exception>

namespace {
void addLines(QPlainTextEdit* memo, const QStringList& lines) {
    for (const QString& line : lines)
        memo->appendPlainText(line);
}
} // namespace

void TForm1::ShowSearchingView() {
    state.SessionRunning = true;
    BitBtn3->hide();
    BitBtn3->setDefault(false);
    BitBtn2->show();
    BitBtn2->setEnabled(true);
    for (QWidget* w :
         std::initializer_list<QWidget*>{BitBtn1, ComboBox1, ComboBox2, ComboBox3, CheckListBox1,
                                         CheckBox6, InterfaceCheckButton})
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

    QList<int> units;
    for (int i = 0; i < CheckListBox1->count(); ++i)
        if (CheckListBox1->item(i)->checkState() == Qt::Checked)
            units << CheckListBox1->item(i)->text().left(3).toInt();
    BeginRecording(RecordingHeader::Kind::Search, units);
    const auto endRecording = qScopeGuard([this] { Recorder.end(); });

    SearchReportTexts texts = SearchReportTexts::load(state.LanguageOffset);
    texts.codeText = [this](int code) { return DtcCodeText(code); };
    texts.statusText = [this](int status) { return DtcStatusText(status); };
    // The report grows as the search goes, so it stops where a failure struck.
    // The kept copy also marks each fault read and a search cut short, so a
    // comparison knows a refused read from an empty memory.
    QStringList kept;
    auto add = [&](const QStringList& lines) {
        addLines(Memo2, lines);
        kept << lines;
    };
    bool unitOpen = false; // connected, its fault read not yet marked
    bool complete = true;
    // Either end leaves the report readable line by line, its "====" rules
    // unwrapped.
    auto showReportWhole = [this] {
        Memo2->setEnabled(true);
        Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
        Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    };
    bool adapterLost = false;
    try {
        for (int i = 0; i < CheckListBox1->count(); ++i) {
            const QListWidgetItem* item = CheckListBox1->item(i);
            if (item->checkState() != Qt::Checked)
                continue;
            for (int panel = 1; panel <= 3; ++panel)
                StatusBar1->setPanelText(panel, QString());
            const QString entry = item->text();
            add(SearchReport::UnitHeader(entry));

            AttemptEnd end = AttemptEnd::Failed;
            if (ConnectInterface(entry.left(3).toInt(), &end)) {
                unitOpen = true;
                CommandChannel& channel = Channel();
                TecuID id;
                ReadIdentification(channel, id, state.LanguageOffset);
                add(SearchReport::Identification(id, texts));
                const FaultReadOutcome outcome = ReadFaultCodes(channel, state.FaultCodes);
                if (outcome == FaultReadOutcome::Found)
                    add(SearchReport::Faults(state.FaultCodes, texts));
                kept << ScanMark::FaultRead(ScanFaultReadOf(outcome));
                unitOpen = false;
                EndDiagnosis(channel);
            } else if (end == AttemptEnd::PortNotOpened || end == AttemptEnd::AdapterLost) {
                // Every further address would fail the same way, each with
                // a box of its own.
                adapterLost = end == AttemptEnd::AdapterLost;
                complete = false;
                break;
            } else {
                add(SearchReport::NotFound(texts));
                if (!state.Closing)
                    ShowSearchingView();
            }
            add(SearchReport::UnitEnd());
            if (state.StopRequested) {
                for (int rest = i + 1; rest < CheckListBox1->count(); ++rest)
                    complete = complete && CheckListBox1->item(rest)->checkState() != Qt::Checked;
                break;
            }
        }
    } catch (const std::exception&) {
        // The report stops where the failure struck; the window is usable
        // again before the failure is shown.
        CloseSessionPort();
        state.SessionRunning = false;
        if (state.Closing)
            return;
        if (unitOpen)
            kept << ScanMark::FaultRead(ScanFaultRead::Unreadable);
        KeepScanReport(kept << ScanMark::CutShort());
        showReportWhole();
        ResetConnectionView();
        BitBtn6->setEnabled(false);
        throw;
    }

    add(SearchReport::Closing(texts));
    if (!complete)
        kept << ScanMark::CutShort();
    KeepScanReport(kept);
    showReportWhole();
    Memo2->moveCursor(QTextCursor::End);
    Memo2->ensureCursorVisible();
    Memo2->setFocus();

    CloseSessionPort();
    state.SessionRunning = false;
    if (state.Closing)
        return;
    ResetConnectionView();
    BitBtn6->setEnabled(false);
    Recorder.end();
    ReportRecorderFailure();
    if (adapterLost)
        ReportFailedAttempt(AttemptEnd::AdapterLost, 0);
}
