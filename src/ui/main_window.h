#pragma once
// TForm1, the program's main window. One class, its methods spread over files
// by concern (the same map is in ARCHITECTURE.md):
//   ui/main_window.cpp                     the controls: positions, sizes, fonts, colours
//   ui/form_create.cpp                     FormCreate and FormShow: configuration, start-up
//   ui/main_window_view.cpp                drawing and input of the view itself
//   ui/reference_files.cpp                 fault texts, car list, search page handlers
//   ui/report_and_copies.cpp               printed report and copy buttons
//   ui/added_controls.cpp                  controls the team added where the layout has room
//   ui/graph_window.cpp                    the graph window (its own top-level window)
//   ui/session_view/session_controller.cpp         ConnectOneECU, the loop pass, session errors
//   ui/session_view/interface_connection_view.cpp  ConnectInterface, Connect, Disconnect, close
//   ui/session_view/measuring_pages.cpp            Group, raw data, single reading, basic settings
//   ui/session_view/fault_code_page.cpp            fault codes and their clear
//   ui/session_view/readiness_voltage_pages.cpp    readiness and voltages
//   ui/session_view/unit_changes.cpp               coding, adaptation, login, output test
//   ui/session_view/change_journal.cpp             change journal and undo of coding and adaptation
//   ui/session_view/live_graph.cpp                 feeding the live graph
//   ui/session_view/measurement_log.cpp            the CSV measurement log
//   ui/session_view/unit_search.cpp                SearchECUs
//   ui/session_view/scans_kept.cpp                 the search reports kept in the user's folder
//   ui/session_view/recorder_and_check.cpp         recordings, an attempt's detail, interface check
//   ui/session_view/session_state.h                SessionState, the unit-wide variables
// Control members carry the names of the form; every control's objectName is
// its member name.
#include "link/debug_trace.h"
#include "link/flight_recorder.h"
#include "link/port_factory.h"
#include "link/port_list.h"
#include "link/serial_port.h"
#include "log/change_journal.h"
#include "session/diagnostic_session.h"
#include "session/unit_changes.h"
#include "ui/last_resort.h"
#include "ui/prompts.h"
#include "ui/session_view/session_state.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

class CommandChannel;
class GraphWindow;
enum class AttemptEnd;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QPainter;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
struct ReportContent;
class TBevel;
class TLabel;
class TPageControl;
class TPaintBox;
class TStatusBar;
class TStringGrid;
class TTabSheet;
class TUpDown;

// Where the window finds its files and ports; tests point these elsewhere.
struct TForm1Options {
    // Empty: the folder of the program file. Where the configuration and the
    // data are follows from it (AppPaths).
    QString programDir;
    PortSearchRoots portRoots; // where the port list looks for devices
    // Starts the demo interface when its port entry is opened; without one
    // the entry reports that this build has no demo.
    DemoStarter demoInterface;
    // Makes a starter of the demo interface that serves a recording instead
    // of the simulated car, for the key Demo-Aufzeichnung.
    std::function<DemoStarter(const QString& recording)> demoReplay;
    // Makes the plain-cable demo's stream (the software chip over the
    // simulated car's units on a virtual K-line); without it that entry
    // reports that this build has no demo.
    PortFactory::KindMaker demoKLine;
    // Whether this user may open a device; empty: asks the system.
    std::function<bool(const QString& device)> mayOpenDevice;
};

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(Prompts& prompts, const TForm1Options& options = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // ------------------------------------------------------------ state
    SessionState state;
    Prompts& prompts;
    // The diagnostic session: the port, its dialogue, connect, the end
    // policy. Made in the constructor, released first on destruction.
    std::unique_ptr<DiagnosticSession> Session;
    // The demo interface: the simulated car, or the configured recording.
    DemoStarter DemoInterface() const;
    DebugTrace Trace; // "debug.txt" when the configuration asks for it
    // The save dialog of the measurement log.
    SaveFileRequest SaveDialog1;
    // Measurement log (ui/session_view/measurement_log.cpp); its state is in SessionState.
    void CloseMeasurementLog();
    void WriteLogHeader();
    // After a measuring pass: a toggle of CheckBox7 the pass saw through
    // starts a recording with its header; an unticked box ends it.
    void FollowLogToggle(bool toggleSeen);
    // Slot (0 to 3) cells of the current Group row; ends the row; one raw data row.
    void WriteGroupLogCells(size_t slot);
    void EndGroupLogRow();
    void WriteRawLogRow();

    // The text of id in the chosen language.
    QString Str(int id) const;
    // A data file of the program (car list, fault texts) from the first data
    // folder that has it; empty when none has.
    QString DataFile(const QString& name) const;

    // ------------------------------------------------------------ top bar
    QGroupBox* GroupBox1;
    QComboBox* ComboBox2; // control units
    QGroupBox* GroupBox2;
    QComboBox* ComboBox1; // ports
    QPushButton* BitBtn3; // Connect
    QPushButton* BitBtn2; // Disconnect
    QGroupBox* GroupBox14;
    QCheckBox* CheckBox7; // log on
    QPushButton* BitBtn5; // log file
    QPushButton* BitBtn1; // help
    QPushButton* BitBtn6; // print

    // ------------------------------------------------------------ page area
    TPageControl* PageControl1;
    TPageControl* PageControl2;
    TTabSheet* TabSheet1;  // Info
    TTabSheet* TabSheet2;  // Group
    TTabSheet* TabSheet5;  // raw data
    TTabSheet* TabSheet11; // single reading
    TTabSheet* TabSheet3;  // fault codes
    TTabSheet* TabSheet9;  // login
    TTabSheet* TabSheet4;  // coding
    TTabSheet* TabSheet8;  // adaptation
    TTabSheet* TabSheet6;  // readiness
    TTabSheet* TabSheet12; // basic settings
    TTabSheet* TabSheet13; // output test
    TTabSheet* TabSheet10; // voltage
    TTabSheet* TabSheet7;  // control unit search (PageControl2)

    // Info page
    TLabel *Label95, *Label1, *Label2, *Label3, *Label144, *Label4; // captions
    TLabel *Label97, *Label6, *Label7, *Label8, *Label145, *Label9; // values
    QPushButton* BitBtn11;

    // Group page
    TLabel* Label64;
    QCheckBox* CheckBox5;
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4;
    QLineEdit *Edit2, *Edit3, *Edit4, *Edit5;
    TUpDown *UpDown2, *UpDown1, *UpDown3, *UpDown4;
    TLabel *Label11, *Label10, *Label14, *Label16, *Label12, *Label13, *Label15, *Label17;
    TLabel *Label46, *Label44, *Label42, *Label40, *Label45, *Label43, *Label41, *Label39;
    TLabel *Label54, *Label52, *Label50, *Label48, *Label53, *Label51, *Label49, *Label47;
    TLabel *Label62, *Label60, *Label58, *Label56, *Label61, *Label59, *Label57, *Label55;
    TBevel *Bevel1, *Bevel2, *Bevel3;
    QPushButton* BitBtn12;

    // Raw data page
    QGroupBox *GroupBox3, *GroupBox4, *GroupBox5, *GroupBox6, *GroupBox7;
    QGroupBox *GroupBox8, *GroupBox9, *GroupBox10, *GroupBox11, *GroupBox12;
    TLabel *Label20, *Label18, *Label22, *Label24, *Label26;
    TLabel *Label28, *Label30, *Label32, *Label34, *Label36;
    QPushButton* BitBtn10;

    // Single reading page
    QGroupBox* GroupBox20;
    TLabel *Label125, *Label124, *Label38;
    QLineEdit* Edit11;
    TUpDown* UpDown7;

    // Fault code page
    TStringGrid* StringGrid1;
    TLabel* Label63;
    QPushButton* BitBtn9; // copy
    QPushButton* BitBtn4; // clear fault codes

    // Login page
    TLabel *Label120, *Label5;
    QLineEdit* Edit1;
    QPushButton* BitBtn13;
    QPlainTextEdit* Memo5;

    // Coding page
    QGroupBox *GroupBox16, *GroupBox15;
    TLabel *Label98, *Label99, *Label101, *Label100, *Label102, *Label103, *Label104;
    QLineEdit *Edit6, *Edit7;
    QPushButton* BitBtn7;
    QPlainTextEdit* Memo3;

    // Adaptation page
    QGroupBox *GroupBox19, *GroupBox18, *GroupBox17;
    TLabel *Label113, *Label117, *Label119, *Label114, *Label115, *Label116, *Label118;
    TLabel *Label106, *Label110, *Label105, *Label109, *Label107, *Label111, *Label108, *Label112;
    QLineEdit *Edit8, *Edit9;
    TUpDown* UpDown5;
    QPushButton* BitBtn8;
    TBevel* Bevel4;
    QPlainTextEdit* Memo4;

    // Readiness page
    TLabel *Label65, *Label66, *Label67, *Label68, *Label69, *Label70, *Label71, *Label72;
    TPaintBox* PaintBox1;
    TLabel *Label73, *Label74, *Label75, *Label76, *Label77, *Label78, *Label79, *Label80;
    TLabel *Label81, *Label82, *Label83, *Label84, *Label85, *Label86, *Label87, *Label88;
    TLabel* Label89;
    TBevel* Bevel5;
    TLabel *Label93, *Label92, *Label90, *Label91;

    // Basic settings page
    TLabel* Label131;
    QCheckBox *CheckBox9, *CheckBox8;
    QLineEdit* Edit10;
    TUpDown* UpDown6;
    TLabel *Label122, *Label123, *Label128, *Label129, *Label121, *Label126, *Label127, *Label130;
    TLabel *Label134, *Label135, *Label136, *Label137, *Label138, *Label139, *Label140, *Label141,
        *Label142, *Label143;
    QPushButton *BitBtn14, *BitBtn16;

    // Output test page
    QPushButton* BitBtn15;
    TLabel *Label132, *Label133;

    // Voltage page
    TLabel* Label158;
    TLabel *Label152, *Label153, *Label154, *Label155, *Label156, *Label157;
    QCheckBox *CheckBox10, *CheckBox11, *CheckBox12, *CheckBox13, *CheckBox14, *CheckBox15;
    TLabel *Label146, *Label147, *Label148, *Label149, *Label150, *Label151;
    QCheckBox* CheckBox16;

    // Control unit search page
    TLabel *Label96, *Label94;
    QComboBox* ComboBox3;
    QListWidget* CheckListBox1;
    QCheckBox* CheckBox6;
    QPlainTextEdit* Memo2;

    // Never shown
    QPlainTextEdit* Memo1;
    TStatusBar* StatusBar1;

    // ------------------------------------------------------------ grouped views
    // The same controls in the order the pages use them.
    std::array<QCheckBox*, 4> GroupEnableBoxes;
    std::array<QLineEdit*, 4> GroupEdits;
    std::array<TUpDown*, 4> GroupUpDowns;
    std::array<std::array<TLabel*, 4>, 4> GroupNameLabels; // [slot][field]
    std::array<std::array<TLabel*, 4>, 4> GroupValueBoxes; // [slot][field]
    std::array<QGroupBox*, 10> RawGroupBoxes;              // values 1 to 10
    std::array<TLabel*, 10> RawValueBoxes;
    std::array<TLabel*, 4> AdaptationNameLabels; // fields 1 to 4
    std::array<TLabel*, 4> AdaptationValueBoxes;
    std::array<TLabel*, 8> ReadinessDigits; // Label65 .. Label72
    std::array<TLabel*, 8> ReadinessMarks;  // Label73 .. Label80
    std::array<TLabel*, 8> ReadinessTexts;  // Label81 .. Label88
    std::array<TLabel*, 4> BasicNameLabels;
    std::array<TLabel*, 4> BasicValueBoxes;
    std::array<TLabel*, 10> BasicRawValueBoxes;  // Label134 .. Label143
    std::array<QCheckBox*, 6> VoltageCheckBoxes; // CheckBox10 .. CheckBox15
    std::array<TLabel*, 6> VoltageValueBoxes;    // Label146 .. Label151
    std::array<QPushButton*, 6> CopyButtons;     // BitBtn9, 10, 11, 12, 14, 16

    // The readiness marks of the legend and the results.
    static QString ReadinessCheckMark();
    static QString ReadinessCrossMark();

    // ------------------------------------------------------------ start-up
    void FormCreate();
    void FormShow();

    // ------------------------------------------------------------ port list
    // Fills ComboBox1 from the system, each entry showing what is known of
    // its adapter, and selects the entry of port, else the first. listed (or
    // else port) is listed too when it is a terminal the system list lacks.
    // Runs at start and each time the list opens, so a newly plugged adapter
    // appears without a restart.
    void FillPortList(const QString& port, int languageOffset, const QString& listed = {});
    // The path of the chosen entry (what "COM-Port" holds); empty for none.
    QString CurrentPort() const;
    // Records port in the user's configuration after it opened, so the next
    // start preselects it. Only an installed program's own copy is written.
    void RememberPort(const QString& port);
    // At start: the adapters present that this user may not open, with the
    // group to join; empty when there are none.
    QString PortPermissionWarning() const;

    // ------------------------------------------------------------ view handlers
    void StatusBar1DrawPanel(QPainter& painter, int panel, const QRect& rect);
    void StringGrid1DrawCell(QPainter& painter, int col, int row, const QRect& rect);
    bool StringGrid1SelectCell(int col, int row);
    bool StringGrid1MouseWheelDown();
    bool StringGrid1MouseWheelUp();
    void PaintBox1Paint(QPainter& painter);
    void PageControl1Change();
    void ComboBox2Change();
    void UpDown2Changing();
    void UpDown5Changing();
    void UpDown7Changing();
    void BitBtn1Click();
    void BitBtn6Click();
    // Esc: presses the copy button of the visible page; false when there is none.
    bool PressVisibleCopyButton();

    // ------------------------------------------------------------ session (ui/session_view/)
    void BitBtn3Click();
    void BitBtn2Click();
    void ConnectOneECU();
    // end, when given, learns how the attempt ended.
    bool ConnectInterface(int address, AttemptEnd* end = nullptr);
    // The address of the attempt under way, for the detail of its boxes.
    int AttemptAddress = 0;
    // The window's side of the session: its events to panels and boxes.
    std::unique_ptr<SessionObserver> MakeSessionView();
    // Settings, port factory, trace and recorder of the next connection.
    void PrepareSession();
    // Message 300 with the real reason below it.
    void ShowPortOpenFailure(const QString& portName, const PortOpenError& error);
    // Tells the user why a session's connection attempt failed, where the
    // attempt itself has not.
    void ReportFailedAttempt(AttemptEnd end, int address);
    void ResetConnectionView();
    // Status panel 0 says "connecting", the others are emptied: the start of
    // a session and of a search.
    void ShowConnecting();
    void FormClose();
    // Request flags set by buttons; the session loop carries them out.
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn7Click();
    void BitBtn8Click();
    void BitBtn13Click();
    void BitBtn15Click();
    void CheckBox7Click();
    // The session's own steps (ui/session_view/).
    CommandChannel& Channel();
    void SearchECUs();
    void GetLogFileName();
    void ResetSessionPages();
    void ShowIdentification();
    void OpenSessionLabelFile();
    void ShowConnectedView();
    void CloseSessionPort();
    // The box of an error that ended a session: message 304 for the
    // interface's failures, a program error box (and a trace line) otherwise.
    void ShowSessionError(const std::exception& error);
    // Status panel 0 (and its tool tip) says why the link broke.
    void ShowLinkFailure(const std::exception& error);
    // After the box: panel 0 idle ("Keine Verbindung"), the reason its tool tip.
    void KeepLinkFailureInToolTip();
    void RunSessionPass();
    // Each returns true when it talked to the unit.
    bool PollActivePage(CommandChannel& channel);
    bool PollGroupPage(CommandChannel& channel);
    bool PollRawPage(CommandChannel& channel);
    bool PollFaultCodePage(CommandChannel& channel);
    bool PollReadinessPage(CommandChannel& channel);
    bool PollAdaptationPage(CommandChannel& channel);
    bool PollSingleReadingPage(CommandChannel& channel);
    bool PollBasicSettingsPage(CommandChannel& channel);
    bool PollVoltagePage(CommandChannel& channel);
    void WriteCodingRequest();
    void SaveAdaptationRequest();
    void LoginRequest();
    void OutputTestStep();
    // Longest sleep of a loop pass that sent nothing; any window event ends it.
    // Short enough that a pulled adapter is noticed well within 200 ms even
    // on a page that polls nothing.
    static constexpr int IdlePassMs = 50;

    // ------------------------------------------------------------ reference files and search
    void LoadCarList();
    void LoadDtcTextFiles();
    void ComboBox3Change();
    // Runs on every change of a tick: set ticks in code under a QSignalBlocker.
    void CheckListBox1ClickCheck(int index);
    void CheckBox6Click();
    // Fault texts by code and status byte; empty without file or entry.
    QString DtcCodeText(int code) const;
    QString DtcStatusText(int status) const;
    // The fault page: fills StringGrid1 from state.FaultCodes.
    void ShowFaultCodes(FaultReadOutcome outcome);
    // The search's busy view; a failed connect attempt may have reset it.
    void ShowSearchingView();

    // ------------------------------------------------------------ report and copies
    void AudruckStarten();
    // The printer of the report; the print dialog's choices (printer, output
    // file, copies) stay on it for the rest of the run.
    QPrinter& ReportPrinter();
    void BitBtn9Click();
    void BitBtn10Click();
    void BitBtn11Click();
    void BitBtn12Click();
    void BitBtn14Click();
    void BitBtn16Click();

    // ------------------------------------------------------------ recorder and check
    // (ui/session_view/recorder_and_check.cpp)
    FlightRecorder Recorder;                     // one recording per session, search and check
    QPushButton* InterfaceCheckButton = nullptr; // on the search page
    void InterfaceCheckClick();
    // Starts the recording of a session, search or check; says once when
    // recordings cannot be written.
    void BeginRecording(RecordingHeader::Kind kind, const QList<int>& units);
    void ReportRecorderFailure();
    // The recording the demo entry serves instead of the car; empty for none.
    QString DemoRecording() const;
    // ------------------------------------------------------------ added by the team
    // Controls beyond the fixed layout, each where the layout has room
    // (ui/added_controls.cpp); hidden until they have something to offer.
    QPushButton* GraphButton;          // Group page: opens the live graph
    TLabel* CodingLastChange;          // coding page: the last change to this unit
    QPushButton* CodingUndoButton;     // puts its earlier coding back
    TLabel* AdaptationLastChange;      // adaptation page: the same for a channel
    QPushButton* AdaptationUndoButton; // puts its earlier value back
    TLabel* ScanSavedLabel;            // search page: where the report was kept
    // The window's context menu: the graph, also without a session, where
    // it opens a log to view.
    QMenu* WindowMenu;
    QAction* GraphAction;
    void createAddedControls();
    void setAddedCaptions();

    // Live graph (ui/session_view/live_graph.cpp).
    QPointer<GraphWindow> LiveGraph;
    int64_t LiveGraphStartMs = 0;
    void GraphButtonClick();
    // The slot's four fields, as its boxes show them now, to an open graph.
    void FeedLiveGraph(size_t slot);
    // A new session starts an open graph afresh at time 0.
    void RestartLiveGraph();

    // Change journal and undo (ui/session_view/change_journal.cpp). The
    // writes, their journal lines and the undo's guard are the session's
    // (session/unit_changes); the window asks, shows and words them.
    QString ChangeJournalPath() const;
    UnitChanges Changes();
    // The journal's failures in boxes, the moment they happen.
    std::unique_ptr<ChangeJournalObserver> JournalFailureView;
    // The connected unit as the journal names it.
    ChangeJournal::UnitNow JournalUnit() const;
    // The newest change to the connected unit (its coding, or any of its
    // adaptation channels) and whether it may be undone now.
    ChangeJournal::UndoState UndoOffer(bool adaptation) const;
    // What the user must know of the journal file itself: a last line cut
    // short (skipped) or a journal that cannot be read; empty when it is whole.
    QString JournalNotice() const;
    // The channel's value as the adaptation page shows it; nullopt when it shows another.
    std::optional<QString> ShownAdaptationValue(int channel) const;
    // Shows the last changes to the connected unit and offers their undo;
    // a note replaces the change's line (a result just read back). The
    // journal's notice, read now unless given, takes the line where no note
    // does and is always in the tooltip.
    void ShowLastChanges(const QString& codingNote = {}, const QString& adaptationNote = {},
                         std::optional<QString> journalNotice = std::nullopt);
    // At connection: completes the changes whose result was not recorded
    // from the values the unit holds now, then shows the last changes.
    void ResolveOpenChanges();
    // The undo's question: the unit, its value now and the value put back.
    QString UndoQuestion(const JournalEntry& change, const QString& now) const;
    void CodingUndoClick();
    void AdaptationUndoClick();
    void CarryOutUndoRequests();
    // The writes behind the coding and adaptation buttons and their undo.
    void WriteCodingValues(int coding, int workshopCode, bool undo);
    void SaveAdaptationValue(int channel, int value, const QString& before, bool undo);

    // Scans kept (ui/session_view/scans_kept.cpp): the search report to a file.
    void KeepScanReport(const QStringList& lines);

    // ------------------------------------------------------------ errors
    // Runs a handler; an error that escapes it is shown in the box of last resort.
    template <typename F> void Guarded(F&& handler) { RunGuarded(&prompts, handler); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void createControls();
    void createTopBar();
    void createInfoPage();
    void createGroupPage();
    void createRawPage();
    void createSingleReadingPage();
    void createFaultCodePage();
    void createLoginPage();
    void createCodingPage();
    void createAdaptationPage();
    void createReadinessPage();
    void createBasicSettingsPage();
    void createOutputTestPage();
    void createVoltagePage();
    void createSearchPage();
    void createStatusBar();
    void connectHandlers();
    void setCaptions();
    void applyConfiguration();
    void startDebugTrace();
    void setUpRecorderAndCheck();
    void RunInterfaceCheck();

    TForm1Options m_options;
    std::unique_ptr<SessionObserver> m_sessionView; // before Session: it reports here
    bool m_shown = false;
    std::unique_ptr<QPrinter> m_printer;
    bool m_checkRunning = false;                         // the interface check owns the port
    InterfaceKind m_interfaceKind = InterfaceKind::Auto; // "Schnittstelle"
};

// Prints copies of the report, each a job of its own, at 600 dpi whatever
// resolution the printer started with; printer keeps its copy count.
void PrintReportCopies(QPrinter& printer, const ReportContent& content, int copies);
// x of a status panel's text: left + shift + half the free width, halves
// rounded to the even neighbour.
int StatusPanelTextX(int panelLeft, int panelWidth, int textWidth, int shift);
