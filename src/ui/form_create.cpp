// Start-up of TForm1: reading "vandrix.ini", the language, the port list, the
// debug trace, every caption, the control unit lists and the state before the
// first connection. Owns the captions of all controls and the banner at show.
#include "config/config_values.h"
#include "config/ini_edit.h"
#include "config/strings.h"
#include "link/command_channel.h"
#include "link/port_factory.h"
#include "reports/link_texts.h"
#include "ui/application.h"
#include "ui/fonts.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {

const QString ConfigSection = QStringLiteral("Config");

bool isFixedKLineBaud(int baud) {
    return baud == 1200 || baud == 2400 || baud == 4800 || baud == 9600 || baud == 14400;
}

// The open list shows whole entries even where the closed box cuts them.
void fitPopupToItems(QComboBox* box) {
    const QFontMetrics metrics(box->view()->font());
    int widest = 0;
    for (int i = 0; i < box->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(box->itemText(i)));
    box->view()->setMinimumWidth(widest + 2 * metrics.averageCharWidth() +
                                 box->view()->verticalScrollBar()->sizeHint().width());
}

} // namespace

TForm1::TForm1(Prompts& prompts_, const TForm1Options& options, QWidget* parent)
    : QWidget(parent), prompts(prompts_), m_options(options) {
    m_sessionView = MakeSessionView();
    Session = std::make_unique<DiagnosticSession>(*m_sessionView, qtMessagePump);
    state.Paths = AppPaths::ForProgram(
        options.programDir.isEmpty() ? QCoreApplication::applicationDirPath() : options.programDir);
    // An installed program offers the user's own folder for a log file,
    // never the folder it was started from.
    SaveDialog1.directory = state.Paths.documentsDir();
    createControls();
    createAddedControls();
    connectHandlers();
    FormCreate();
    setUpRecorderAndCheck();
    // After FormCreate: the captions need the language it chose.
    setAddedCaptions();
}

void TForm1::FormCreate() {
    // 1. Panels 0 and 1 are painted by the window.
    StatusBar1->setOwnerDraw(0, true);
    StatusBar1->setOwnerDraw(1, true);

    // 2. The configuration beside the program, or the user's when installed.
    const QString configPath = state.Paths.prepareConfigFile();
    // Anything at that path is read or refused with its reason: a folder or
    // an endless device must not pass for "no configuration".
    if (!configPath.isEmpty() &&
        (QFileInfo::exists(configPath) || QFileInfo(configPath).isSymLink()))
        state.ConfigFile = IniFile::open(configPath, ConfigFileLimits);

    // 3. The port list. The configured port and the language are looked at
    // early so a configured terminal and the demo entry's wording are right.
    const ConfigValues configured = ReadConfigValues(state.ConfigFile);
    const int portListLanguage = configured.English ? EnglishStringOffset : 0;
    FillPortList(QString(), portListLanguage, configured.Port);
    // Qt's own dialogs and buttons speak the language chosen here too.
    LoadQtTranslations(portListLanguage);

    // 4. Everything the file says.
    if (state.ConfigFileOpen())
        applyConfiguration();
    else if (state.ConfigFile.refusal().kind != FileRefusal::None &&
             state.ConfigFile.refusal().kind != FileRefusal::Missing)
        prompts.message(Str(301), state.ConfigFile.refusal().text(state.LanguageOffset),
                        PromptIcon::Error);

    // 5. Id 0 has no English twin.
    setWindowTitle(QStringLiteral("Vandrix  |  ") + LoadStr(0));

    // 6.
    setCaptions();

    // 7. Not connected.
    PageControl1->hide();
    PageControl2->hide();
    CheckBox7->setEnabled(false);
    BitBtn5->setEnabled(false);
    StatusBar1->setPanelText(0, Str(6));
    state.ConnectionState = ConnectionState::NotConnected;
    if (isFixedKLineBaud(state.KLineBaud)) {
        StatusBar1->setPanelText(1, QString::number(state.KLineBaud) + QStringLiteral(" Baud"));
        state.FixedBaudMarked = 1;
    } else {
        StatusBar1->setPanelText(1, QString());
        state.FixedBaudMarked = 0;
    }
    StatusBar1->update();
    for (int panel : {2, 3, 4, 6})
        StatusBar1->setPanelText(panel, QString());
    BitBtn3->setDefault(false);
    BitBtn3->setEnabled(false);
    BitBtn6->setEnabled(false);
    BitBtn11->setEnabled(false);
    for (QPushButton* b : {BitBtn4, BitBtn7, BitBtn8, BitBtn13, BitBtn15})
        b->setEnabled(false);
    Edit6->clear();
    Edit7->clear();
    Label117->hide();
    Label119->hide();

    // 8. The control unit lists.
    ComboBox2->clear();
    ComboBox2->addItem(Str(61));
    ComboBox2->addItem(Str(65));
    CheckListBox1->clear();
    for (int id = 1001; id <= 1094; ++id) {
        ComboBox2->addItem(Str(id));
        auto* item = new QListWidgetItem(Str(id), CheckListBox1);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    ComboBox2->setCurrentIndex(0);
    fitPopupToItems(ComboBox2);

    // 9. The fault table's header.
    StringGrid1->setColWidth(0, 25);
    StringGrid1->setColWidth(1, 50);
    StringGrid1->setColWidth(2, 360);
    StringGrid1->setColWidth(3, 230);
    StringGrid1->setRowHeight(0, 20);
    StringGrid1->setCell(0, 0, Str(41));
    StringGrid1->setCell(1, 0, Str(37));
    StringGrid1->setCell(2, 0, Str(38));
    StringGrid1->setCell(3, 0, Str(39));

    // 10. Readiness page.
    Label89->hide();
    for (int i = 0; i < 8; ++i) {
        ReadinessMarks[i]->setText(QString());
        ReadinessDigits[i]->setText(QStringLiteral("-"));
    }

    // 11., 12. Reference files.
    ComboBox3->clear();
    ComboBox3->addItem(Str(67));
    LoadCarList();
    LoadDtcTextFiles();

    // 13. Basic settings show the group view.
    for (TLabel* box : BasicRawValueBoxes)
        box->hide();
    for (int f = 0; f < 4; ++f) {
        BasicNameLabels[f]->show();
        BasicValueBoxes[f]->show();
    }
}

void TForm1::applyConfiguration() {
    // The same reader as the command line's; values outside what the chip
    // takes come back as their defaults with a note for the trace.
    const ConfigValues values = ReadConfigValues(state.ConfigFile);
    const bool english = values.English;
    state.InterByteTime = values.InterByteTime;
    state.BlockDelayTime = values.BlockDelayTime;
    StatusBar1->setPanelText(5, QString::number(state.InterByteTime) + QLatin1Char('|') +
                                    QString::number(state.BlockDelayTime));

    if (english) {
        state.LanguageOffset = EnglishStringOffset;
        state.LanguageCode = QStringLiteral("en");
    } else {
        state.LanguageOffset = 0;
        state.LanguageCode = QStringLiteral("de");
    }

    ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
    const QString& port = values.Port;
    // The demo entry is named in the list's language; a file written for
    // the other language still means it.
    const bool demo = IsDemoInterfaceName(port);
    const bool demoKLine = IsDemoKLineName(port);
    for (int i = 0; i < ComboBox1->count(); ++i)
        if (ComboBox1->itemData(i).toString() == port ||
            (demo && IsDemoInterfaceName(ComboBox1->itemText(i))) ||
            (demoKLine && IsDemoKLineName(ComboBox1->itemText(i))))
            ComboBox1->setCurrentIndex(i);

    state.KLineBaud = values.KLineBaud;
    // An unknown word is as good as none: the wake-up tells.
    m_interfaceKind = interfaceKindFromIni(values.Interface).value_or(InterfaceKind::Auto);

    for (QCheckBox* box : VoltageCheckBoxes)
        box->setEnabled(false);
    state.U2 = values.U2;
    if (values.U2Defined) {
        Label158->setText(QStringLiteral("U2 max: ") + values.U2Text + QStringLiteral(" V"));
        Label158->setFontColor(Qt::black);
        for (int n = 0; n < 6; ++n) {
            state.TV[size_t(n)] = values.TV[size_t(n)];
            if (state.TV[size_t(n)] > 0)
                VoltageCheckBoxes[n]->setEnabled(true);
        }
    } else {
        Label158->setText(Str(120));
        Label158->setFontColor(Qt::red);
    }

    startDebugTrace();
    for (const QString& note : values.refused)
        Trace.Note(note);
}

void TForm1::startDebugTrace() {
    Trace.setWriteFailureHandler([this](const QString& reason) {
        prompts.message(QString(), TraceWriteFailureMessage(reason, state.LanguageOffset),
                        PromptIcon::Warning);
    });
    switch (Trace.StartFromConfig(state.ConfigFile, state.Paths.userDataDir(), LoadStr(0))) {
    case DebugTrace::StartResult::Off:
        break;
    case DebugTrace::StartResult::Started:
        prompts.message(QString(), Str(96), PromptIcon::Warning);
        break;
    case DebugTrace::StartResult::CreateFailed:
        prompts.message(QString(), Str(95), PromptIcon::Error);
        break;
    }
}

void TForm1::setCaptions() {
    struct Caption {
        QWidget* control;
        int id;
    };
    // clang-format off
    const Caption captions[] = {
        {GroupBox1, 1},   {Label95, 1},     {GroupBox2, 2},   {BitBtn3, 3},     {BitBtn2, 21},
        {TabSheet1, 9},   {TabSheet2, 10},  {TabSheet3, 11},  {TabSheet4, 12},  {TabSheet5, 29},
        {TabSheet6, 44},  {TabSheet7, 60},  {TabSheet8, 84},  {TabSheet9, 99},  {TabSheet11, 106},
        {TabSheet12, 107}, {TabSheet13, 108}, {TabSheet10, 119}, {Label1, 16},   {Label2, 17},
        {Label3, 20},     {Label144, 20},   {Label4, 19},     {GroupBox14, 72}, {CheckBox7, 73},
        {BitBtn5, 74},    {BitBtn4, 32},    {CheckBox5, 31},  {CheckBox16, 31}, {CheckBox9, 31},
        {Label64, 42},    {Label63, 42},    {Label104, 42},   {Label118, 42},   {Label131, 42},
        {Label5, 42},     {Label96, 62},    {Label94, 63},    {CheckBox6, 66},  {GroupBox16, 77},
        {GroupBox15, 78}, {BitBtn7, 79},    {BitBtn8, 79},    {Label98, 19},    {Label102, 19},
        {Label101, 18},   {Label103, 18},   {Label113, 85},   {Label125, 85},   {GroupBox18, 86},
        {GroupBox17, 87}, {Label114, 88},   {Label116, 89},   {Label117, 90},   {GroupBox19, 91},
        {GroupBox20, 91}, {BitBtn9, 98},    {BitBtn10, 98},   {BitBtn11, 98},   {BitBtn12, 98},
        {BitBtn14, 98},   {BitBtn16, 98},   {Label120, 101},  {BitBtn13, 102},  {Label124, 109},
        {Label132, 114},  {BitBtn15, 113},  {Label89, 54},    {Label92, 56},    {Label91, 55},
    };
    // clang-format on
    for (const Caption& c : captions) {
        const QString text = Str(c.id);
        if (auto* label = qobject_cast<TLabel*>(c.control))
            label->setText(text);
        else if (auto* button = qobject_cast<QAbstractButton*>(c.control))
            button->setText(text);
        else if (auto* box = qobject_cast<QGroupBox*>(c.control))
            box->setTitle(text);
        else if (auto* sheet = qobject_cast<TTabSheet*>(c.control))
            sheet->setCaption(text);
    }
    for (int i = 0; i < 8; ++i)
        ReadinessTexts[i]->setText(Str(45 + i));
    BitBtn1->setText(QString());
}

void TForm1::FormShow() {
    StatusBar1->update();
    Memo1->hide();
    if (state.ConfigFileOpen() && ReadConfigValues(state.ConfigFile).Splash)
        prompts.banner();
    // Told now rather than by a failing Connect.
    const QString permissions = PortPermissionWarning();
    if (!permissions.isEmpty())
        prompts.message(QString(), permissions, PromptIcon::Warning);
}

void TForm1::FillPortList(const QString& port, int languageOffset, const QString& listed) {
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->clear();
    for (const PortEntry& entry :
         PortListEntries(listed.isEmpty() ? port : listed, DemoEntryNames(languageOffset),
                         m_options.portRoots)) {
        ComboBox1->addItem(PortEntryText(entry, languageOffset), entry.path);
        // The closed box is narrow: the adapter's name first, the path in
        // the list and the tool tip.
        ComboBox1->setItemData(ComboBox1->count() - 1, PortShortName(entry),
                               TComboBox::ClosedTextRole);
    }
    const int index = ComboBox1->findData(port);
    ComboBox1->setCurrentIndex(index >= 0 ? index : ComboBox1->count() > 0 ? 0 : -1);
    fitPopupToItems(ComboBox1);
    // The tool tip follows the text; changes under the blocker do not tell it.
    ComboBox1->setToolTip(ComboBox1->currentText());
}

QString TForm1::CurrentPort() const {
    const QVariant path = ComboBox1->currentData();
    return path.isValid() ? path.toString() : ComboBox1->currentText();
}

void TForm1::RememberPort(const QString& port) {
    if (!state.Paths.configWritable() || IsDemoInterfaceName(port) || IsDemoKLineName(port) ||
        !state.ConfigFileOpen() || state.ConfigFile.path() != state.Paths.configFile())
        return;
    const QString stored = IniFile::open(state.Paths.configFile(), ConfigFileLimits)
                               .readString(ConfigSection, "COM-Port")
                               .trimmed();
    QString reason;
    if (stored != port && !WriteIniValue(state.Paths.configFile(), ConfigSection,
                                         QStringLiteral("COM-Port"), port, &reason))
        qCWarning(lcFiles) << "cannot record the port in" << state.Paths.configFile() << reason;
}

QString TForm1::PortPermissionWarning() const {
    const auto mayOpen = m_options.mayOpenDevice ? m_options.mayOpenDevice : MayOpenDevice;
    QStringList hints;
    for (const PortEntry& entry : SystemSerialPortEntries(m_options.portRoots))
        if (entry.adapter.usb && !mayOpen(entry.device))
            hints << PortPermissionHint(entry.path, DeviceOwnerGroup(entry.device),
                                        state.LanguageOffset);
    return hints.join(QStringLiteral("\n\n"));
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Once, when the program shows its window; not on every restore. Right
    // after the window is up, so the banner appears in front of it.
    if (!m_shown && !event->spontaneous()) {
        m_shown = true;
        QTimer::singleShot(0, this, [this] { Guarded([this] { FormShow(); }); });
    }
}
