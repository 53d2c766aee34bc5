// TForm1's controls: where each one sits, its size, font, colour, range and
// state before start-up sets the captions. All positions are client
// coordinates of the control's parent at 96 dots per inch.
#include "ui/main_window.h"

#include "config/strings.h"
#include "ui/fonts.h"
#include "ui/form_widgets.h"
#include "ui/glyphs.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>

namespace {

template <typename T> T* named(T*& member, const char* name, QWidget* parent) {
    member = new T(parent);
    member->setObjectName(QLatin1String(name));
    return member;
}

// A label that follows its text.
TLabel* text(TLabel*& m, const char* name, QWidget* parent, int x, int y,
             const QFont& font = Fonts::verdana(13)) {
    named(m, name, parent);
    m->setFont(font);
    m->move(x, y);
    m->setAutoSize(true);
    return m;
}

TLabel* fixedLabel(TLabel*& m, const char* name, QWidget* parent, int x, int y, int w, int h,
                   const QFont& font, Qt::Alignment align) {
    named(m, name, parent);
    m->setGeometry(x, y, w, h);
    m->setFont(font);
    m->setAlignment(align);
    return m;
}

// A value box: IdleColour, centred, bold.
TLabel* valueBox(TLabel*& m, const char* name, QWidget* parent, int x, int y, int w, int h,
                 int pixelSize = 20) {
    fixedLabel(m, name, parent, x, y, w, h, Fonts::verdana(pixelSize, true), Qt::AlignCenter);
    m->setColor(Colours::Idle);
    return m;
}

// A one-line value label: IdleColour, Verdana 13 bold.
TLabel* valueLabel(TLabel*& m, const char* name, QWidget* parent, int x, int y, int w, int h,
                   Qt::Alignment horizontal) {
    fixedLabel(m, name, parent, x, y, w, h, Fonts::verdana(13, true),
               horizontal | Qt::AlignVCenter);
    m->setColor(Colours::Idle);
    return m;
}

TLabel* nameLabel(TLabel*& m, const char* name, QWidget* parent, int x, int y) {
    fixedLabel(m, name, parent, x, y, 152, 33, Fonts::verdana(13), Qt::AlignCenter);
    m->setWordWrap(true);
    m->setFitText(true);
    m->setText(QStringLiteral("-"));
    return m;
}

TLabel* disclaimer(TLabel*& m, const char* name, QWidget* parent, int x, int y) {
    text(m, name, parent, x, y, Fonts::verdana(13, false, true));
    m->setFontColor(Colours::Disclaimer);
    return m;
}

QPushButton* button(QPushButton*& m, const char* name, QWidget* parent, int x, int y, int w, int h,
                    Glyph glyph) {
    named(m, name, parent);
    m->setGeometry(x, y, w, h);
    m->setIcon(GlyphIcon(glyph));
    // Captions with a picture fit their buttons only in the chrome font.
    m->setFont(Fonts::msSansSerif());
    m->setAutoDefault(false);
    return m;
}

QPushButton* copyButton(QPushButton*& m, const char* name, QWidget* parent, int x, int y) {
    return button(m, name, parent, x, y, 75, 25, Glyph::Copy);
}

QCheckBox* checkBox(QCheckBox*& m, const char* name, QWidget* parent, int x, int y, int w = 17,
                    int h = 17) {
    named(m, name, parent);
    m->setGeometry(x, y, w, h);
    return m;
}

QLineEdit* edit(QLineEdit*& m, const char* name, QWidget* parent, int x, int y, int w, int h,
                int maxLength, const QString& initial) {
    named(m, name, parent);
    m->setGeometry(x, y, w, h);
    if (maxLength > 0)
        m->setMaxLength(maxLength);
    m->setText(initial);
    return m;
}

TUpDown* upDown(TUpDown*& m, const char* name, QWidget* parent, int x, int y, QLineEdit* buddy,
                int min, int max, int position) {
    named(m, name, parent);
    m->setGeometry(x, y, 15, 21);
    m->setRange(min, max);
    m->setAssociate(buddy);
    m->setPosition(position);
    return m;
}

QGroupBox* groupBox(QGroupBox*& m, const char* name, QWidget* parent, int x, int y, int w, int h) {
    named(m, name, parent);
    m->setGeometry(x, y, w, h);
    return m;
}

QPlainTextEdit* memo(QPlainTextEdit*& m, const char* name, QWidget* parent, int x, int y, int w,
                     int h, bool bothScrollBars) {
    named(m, name, parent);
    m->setGeometry(x, y, w, h);
    m->setReadOnly(true);
    if (bothScrollBars) {
        m->setLineWrapMode(QPlainTextEdit::NoWrap);
        m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    } else {
        m->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    return m;
}

TBevel* bevel(TBevel*& m, const char* name, QWidget* parent, TBevel::Shape shape, int x, int y,
              int w, int h) {
    m = new TBevel(shape, parent);
    m->setObjectName(QLatin1String(name));
    m->setGeometry(x, y, w, h);
    return m;
}

TTabSheet* sheet(TTabSheet*& m, const char* name, TPageControl* control) {
    named(m, name, static_cast<QWidget*>(nullptr));
    m->setFont(Fonts::verdana(13));
    m->setAutoFillBackground(true); // the page's own rectangle of PageColour
    control->addPage(m);
    return m;
}

// Lets member and objectName be written once.
#define N(member) member, #member

} // namespace

TForm1::~TForm1() {
    // Before the recorder and the trace it uses.
    Session.reset();
}

QString TForm1::Str(int id) const {
    return LoadStr(id + state.LanguageOffset);
}

QString TForm1::DataFile(const QString& name) const {
    return state.Paths.findDataFile(name);
}

QString TForm1::ReadinessCheckMark() {
    return QString(QChar(0x2713));
}

QString TForm1::ReadinessCrossMark() {
    return QString(QChar(0x2717));
}

void TForm1::createControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(740, 555);
    setFont(Fonts::msSansSerif());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Colours::Page);
    pal.setColor(QPalette::Button, Colours::Page);
    setPalette(pal);
    setAutoFillBackground(true);

    createTopBar();

    named(PageControl1, "PageControl1", this);
    PageControl1->setGeometry(16, 72, 716, 450);
    PageControl1->setTabFont(Fonts::msSansSerif());
    sheet(N(TabSheet1), PageControl1);
    sheet(N(TabSheet2), PageControl1);
    sheet(N(TabSheet5), PageControl1);
    sheet(N(TabSheet11), PageControl1);
    sheet(N(TabSheet3), PageControl1);
    sheet(N(TabSheet9), PageControl1);
    sheet(N(TabSheet4), PageControl1);
    sheet(N(TabSheet8), PageControl1);
    sheet(N(TabSheet6), PageControl1);
    sheet(N(TabSheet12), PageControl1);
    sheet(N(TabSheet13), PageControl1);
    sheet(N(TabSheet10), PageControl1);

    named(PageControl2, "PageControl2", this);
    PageControl2->setGeometry(16, 72, 713, 450);
    PageControl2->setTabFont(Fonts::msSansSerif());
    sheet(N(TabSheet7), PageControl2);

    createInfoPage();
    createGroupPage();
    createRawPage();
    createSingleReadingPage();
    createFaultCodePage();
    createLoginPage();
    createCodingPage();
    createAdaptationPage();
    createReadinessPage();
    createBasicSettingsPage();
    createOutputTestPage();
    createVoltagePage();
    createSearchPage();

    named(Memo1, "Memo1", this);
    Memo1->setGeometry(528, 168, 177, 337);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->hide();

    createStatusBar();

    PageControl1->hide();
    PageControl2->hide();

    SaveDialog1.defaultSuffix = QStringLiteral("csv");
    SaveDialog1.filter = QStringLiteral("Comma Separated Values (*.csv)");
}

void TForm1::createTopBar() {
    groupBox(N(GroupBox1), this, 16, 8, 233, 57);
    named(N(ComboBox2), GroupBox1);
    ComboBox2->setGeometry(8, 24, 217, 21);
    ComboBox2->setMaxVisibleItems(30);

    groupBox(N(GroupBox2), this, 264, 8, 193, 57);
    auto* ports = new TComboBox(GroupBox2);
    ports->setObjectName(QStringLiteral("ComboBox1"));
    // An adapter plugged in after start appears the next time the list opens.
    ports->onDropDown = [this] {
        Guarded([this] { FillPortList(CurrentPort(), state.LanguageOffset); });
    };
    ComboBox1 = ports;
    ComboBox1->setGeometry(8, 24, 73, 21);
    ComboBox1->setMaxVisibleItems(30);
    // Device paths are longer than the box: the open list and the tool tip
    // show them whole.
    ComboBox1->view()->setTextElideMode(Qt::ElideNone);
    connect(ComboBox1, &QComboBox::currentTextChanged, ComboBox1, &QWidget::setToolTip);
    button(N(BitBtn3), GroupBox2, 104, 22, 81, 25, Glyph::Connect)->setEnabled(false);
    button(N(BitBtn2), GroupBox2, 104, 22, 81, 25, Glyph::Disconnect)->hide();

    groupBox(N(GroupBox14), this, 472, 8, 201, 57);
    checkBox(N(CheckBox7), GroupBox14, 8, 27, 89, 17);
    CheckBox7->setFont(Fonts::verdana(13));
    CheckBox7->setEnabled(false);
    button(N(BitBtn5), GroupBox14, 102, 22, 91, 25, Glyph::LogFile)->setEnabled(false);

    button(N(BitBtn1), this, 688, 8, 41, 25, Glyph::Help);
    button(N(BitBtn6), this, 688, 40, 41, 25, Glyph::Print)->setEnabled(false);
}

void TForm1::createInfoPage() {
    QWidget* page = TabSheet1;
    struct Row {
        TLabel** caption;
        const char* captionName;
        TLabel** value;
        const char* valueName;
        int y;
    };
    const Row rows[] = {
        {&Label95, "Label95", &Label97, "Label97", 32},
        {&Label1, "Label1", &Label6, "Label6", 64},
        {&Label2, "Label2", &Label7, "Label7", 96},
        {&Label3, "Label3", &Label8, "Label8", 128},
        {&Label144, "Label144", &Label145, "Label145", 160},
        {&Label4, "Label4", &Label9, "Label9", 192},
    };
    for (const Row& row : rows) {
        text(*row.caption, row.captionName, page, 8, row.y);
        valueLabel(*row.value, row.valueName, page, 220, row.y, 450, 16, Qt::AlignLeft);
    }
    copyButton(N(BitBtn11), page, 616, 344)->setEnabled(false);
}

void TForm1::createGroupPage() {
    QWidget* page = TabSheet2;
    disclaimer(N(Label64), page, 8, 29);
    checkBox(N(CheckBox5), page, 8, 56, 169, 17)->setChecked(true);

    struct Slot {
        QCheckBox** enable;
        const char* enableName;
        QLineEdit** edit;
        const char* editName;
        TUpDown** upDown;
        const char* upDownName;
        std::array<TLabel**, 4> names;
        std::array<const char*, 4> nameNames;
        std::array<TLabel**, 4> values;
        std::array<const char*, 4> valueNames;
    };
    // clang-format off
    const Slot slotTable[4] = {
        {&CheckBox1, "CheckBox1", &Edit2, "Edit2", &UpDown2, "UpDown2",
         {&Label11, &Label10, &Label14, &Label16}, {"Label11", "Label10", "Label14", "Label16"},
         {&Label12, &Label13, &Label15, &Label17}, {"Label12", "Label13", "Label15", "Label17"}},
        {&CheckBox2, "CheckBox2", &Edit3, "Edit3", &UpDown1, "UpDown1",
         {&Label46, &Label44, &Label42, &Label40}, {"Label46", "Label44", "Label42", "Label40"},
         {&Label45, &Label43, &Label41, &Label39}, {"Label45", "Label43", "Label41", "Label39"}},
        {&CheckBox3, "CheckBox3", &Edit4, "Edit4", &UpDown3, "UpDown3",
         {&Label54, &Label52, &Label50, &Label48}, {"Label54", "Label52", "Label50", "Label48"},
         {&Label53, &Label51, &Label49, &Label47}, {"Label53", "Label51", "Label49", "Label47"}},
        {&CheckBox4, "CheckBox4", &Edit5, "Edit5", &UpDown4, "UpDown4",
         {&Label62, &Label60, &Label58, &Label56}, {"Label62", "Label60", "Label58", "Label56"},
         {&Label61, &Label59, &Label57, &Label55}, {"Label61", "Label59", "Label57", "Label55"}},
    };
    // clang-format on
    const int fieldX[4] = {72, 229, 386, 544};
    for (int k = 0; k < 4; ++k) {
        const Slot& s = slotTable[k];
        const int y = 80 * (k + 1);
        GroupEnableBoxes[k] = checkBox(*s.enable, s.enableName, page, 8, y + 16);
        GroupEdits[k] = edit(*s.edit, s.editName, page, 8, y + 38, 33, 21, 3, QStringLiteral("1"));
        GroupUpDowns[k] = upDown(*s.upDown, s.upDownName, page, 41, y + 38, *s.edit, 1, 255, 1);
        for (int f = 0; f < 4; ++f) {
            GroupNameLabels[k][f] = nameLabel(*s.names[f], s.nameNames[f], page, fieldX[f], y);
            GroupValueBoxes[k][f] =
                valueBox(*s.values[f], s.valueNames[f], page, fieldX[f], y + 36, 152, 28);
        }
    }
    bevel(N(Bevel1), page, TBevel::TopLine, 0, 149, 705, 4);
    bevel(N(Bevel2), page, TBevel::TopLine, 0, 229, 705, 4);
    bevel(N(Bevel3), page, TBevel::TopLine, 0, 309, 705, 4);
    copyButton(N(BitBtn12), page, 616, 16);
}

void TForm1::createRawPage() {
    QWidget* page = TabSheet5;
    QGroupBox** boxes[10] = {&GroupBox3, &GroupBox4, &GroupBox5,  &GroupBox6,  &GroupBox7,
                             &GroupBox8, &GroupBox9, &GroupBox10, &GroupBox11, &GroupBox12};
    const char* boxNames[10] = {"GroupBox3", "GroupBox4", "GroupBox5",  "GroupBox6",  "GroupBox7",
                                "GroupBox8", "GroupBox9", "GroupBox10", "GroupBox11", "GroupBox12"};
    TLabel** values[10] = {&Label20, &Label18, &Label22, &Label24, &Label26,
                           &Label28, &Label30, &Label32, &Label34, &Label36};
    const char* valueNames[10] = {"Label20", "Label18", "Label22", "Label24", "Label26",
                                  "Label28", "Label30", "Label32", "Label34", "Label36"};
    for (int i = 0; i < 10; ++i) {
        const int x = i < 5 ? 24 : 320;
        const int y = 16 + 72 * (i % 5);
        RawGroupBoxes[i] = groupBox(*boxes[i], boxNames[i], page, x, y, 257, 65);
        RawValueBoxes[i] = valueBox(*values[i], valueNames[i], *boxes[i], 16, 21, 65, 28);
    }
    copyButton(N(BitBtn10), page, 616, 16);
}

void TForm1::createSingleReadingPage() {
    groupBox(N(GroupBox20), TabSheet11, 256, 26, 193, 103);
    text(N(Label125), GroupBox20, 16, 25);
    edit(N(Edit11), GroupBox20, 88, 23, 33, 21, 3, QStringLiteral("0"));
    upDown(N(UpDown7), GroupBox20, 121, 23, Edit11, 0, 255, 0);
    text(N(Label124), GroupBox20, 16, 65);
    valueBox(N(Label38), GroupBox20, 88, 61, 81, 28);
}

void TForm1::createFaultCodePage() {
    QWidget* page = TabSheet3;
    named(N(StringGrid1), page);
    StringGrid1->setGeometry(8, 8, 690, 345);
    StringGrid1->setColCount(4);
    StringGrid1->setRowCount(2);
    StringGrid1->setFixedRows(1);
    StringGrid1->setDefaultRowHeight(37);
    StringGrid1->setRowHeight(0, 20);
    const int widths[4] = {25, 50, 360, 230};
    for (int c = 0; c < 4; ++c)
        StringGrid1->setColWidth(c, widths[c]);
    disclaimer(N(Label63), page, 11, 364);
    copyButton(N(BitBtn9), page, 464, 360);
    button(N(BitBtn4), page, 544, 360, 153, 25, Glyph::ClearCodes);
}

void TForm1::createLoginPage() {
    QWidget* page = TabSheet9;
    text(N(Label120), page, 21, 33);
    edit(N(Edit1), page, 125, 31, 84, 21, 0, QStringLiteral("0"));
    button(N(BitBtn13), page, 59, 69, 121, 25, Glyph::Login);
    memo(N(Memo5), page, 248, 21, 441, 340, true);
    disclaimer(N(Label5), page, 248, 365);
}

void TForm1::createCodingPage() {
    QWidget* page = TabSheet4;
    groupBox(N(GroupBox16), page, 24, 16, 201, 121);
    text(N(Label98), GroupBox16, 21, 24);
    valueLabel(N(Label99), GroupBox16, 21, 41, 156, 16, Qt::AlignHCenter);
    text(N(Label101), GroupBox16, 21, 72);
    valueLabel(N(Label100), GroupBox16, 21, 89, 156, 16, Qt::AlignHCenter);

    groupBox(N(GroupBox15), page, 24, 184, 201, 177);
    text(N(Label102), GroupBox15, 21, 25);
    edit(N(Edit6), GroupBox15, 21, 44, 156, 21, 0, QString());
    text(N(Label103), GroupBox15, 21, 81);
    edit(N(Edit7), GroupBox15, 21, 100, 156, 21, 0, QString());
    button(N(BitBtn7), GroupBox15, 56, 136, 121, 25, Glyph::Reprogram);

    memo(N(Memo3), page, 248, 21, 441, 340, true);
    disclaimer(N(Label104), page, 248, 365);
}

void TForm1::createAdaptationPage() {
    QWidget* page = TabSheet8;
    groupBox(N(GroupBox19), page, 8, 16, 273, 89);
    text(N(Label113), GroupBox19, 16, 25);
    edit(N(Edit8), GroupBox19, 96, 23, 33, 21, 3, QStringLiteral("0"));
    upDown(N(UpDown5), GroupBox19, 129, 23, Edit8, 0, 99, 0);
    fixedLabel(N(Label117), GroupBox19, 16, 48, 249, 37, Fonts::verdana(13, true),
               Qt::AlignLeft | Qt::AlignTop);
    Label117->setWordWrap(true);
    Label117->setFontColor(Colours::Disclaimer);
    Label117->hide();
    text(N(Label119), GroupBox19, 16, 57, Fonts::verdana(13, true))->hide();

    groupBox(N(GroupBox18), page, 288, 16, 409, 89);
    text(N(Label114), GroupBox18, 8, 24);
    valueLabel(N(Label115), GroupBox18, 165, 24, 76, 16, Qt::AlignHCenter);
    fixedLabel(N(Label116), GroupBox18, 8, 57, 153, 16, Fonts::verdana(13),
               Qt::AlignLeft | Qt::AlignTop);
    edit(N(Edit9), GroupBox18, 165, 55, 76, 21, 0, QString());
    button(N(BitBtn8), GroupBox18, 272, 53, 121, 25, Glyph::Reprogram);

    disclaimer(N(Label118), page, 8, 121);

    groupBox(N(GroupBox17), page, 8, 144, 353, 225);
    struct Field {
        TLabel** name;
        const char* nameName;
        TLabel** value;
        const char* valueName;
        int x, y;
    };
    const Field fields[4] = {
        {&Label106, "Label106", &Label110, "Label110", 16, 24},
        {&Label105, "Label105", &Label109, "Label109", 184, 24},
        {&Label107, "Label107", &Label111, "Label111", 16, 144},
        {&Label108, "Label108", &Label112, "Label112", 184, 144},
    };
    for (int i = 0; i < 4; ++i) {
        const Field& f = fields[i];
        AdaptationNameLabels[i] = nameLabel(*f.name, f.nameName, GroupBox17, f.x, f.y);
        AdaptationValueBoxes[i] =
            valueBox(*f.value, f.valueName, GroupBox17, f.x, f.y + 37, 152, 28);
    }
    bevel(N(Bevel4), GroupBox17, TBevel::BottomLine, 16, 104, 321, 17);

    named(N(Memo4), page);
    Memo4->setGeometry(368, 149, 329, 225);
    Memo4->setReadOnly(true);
}

void TForm1::createReadinessPage() {
    QWidget* page = TabSheet6;
    named(N(PaintBox1), page);
    PaintBox1->setGeometry(0, 0, 273, 265);

    TLabel** digits[8] = {&Label65, &Label66, &Label67, &Label68,
                          &Label69, &Label70, &Label71, &Label72};
    TLabel** marks[8] = {&Label73, &Label74, &Label75, &Label76,
                         &Label77, &Label78, &Label79, &Label80};
    TLabel** texts[8] = {&Label81, &Label82, &Label83, &Label84,
                         &Label85, &Label86, &Label87, &Label88};
    // The marks are check and cross glyphs; at the stated 27 px they would
    // not fit their 25 x 20 boxes, so they are sized to the box.
    const QFont markFont = Fonts::verdana(18, true);
    for (int i = 0; i < 8; ++i) {
        const QByteArray digitName = "Label" + QByteArray::number(65 + i);
        const QByteArray markName = "Label" + QByteArray::number(73 + i);
        const QByteArray textName = "Label" + QByteArray::number(81 + i);
        ReadinessDigits[i] = fixedLabel(*digits[i], digitName.constData(), page, 32 + 24 * i, 24,
                                        25, 32, Fonts::verdana(27, true), Qt::AlignCenter);
        ReadinessDigits[i]->setText(QStringLiteral("-"));
        ReadinessMarks[i] = fixedLabel(*marks[i], markName.constData(), page, 264, 72 + 24 * i, 25,
                                       20, markFont, Qt::AlignCenter);
        ReadinessTexts[i] = text(*texts[i], textName.constData(), page, 290, 72 + 24 * i);
    }
    text(N(Label89), page, 32, 34, Fonts::verdana(13, true));
    Label89->setFontColor(Colours::Disclaimer);
    Label89->hide();

    bevel(N(Bevel5), page, TBevel::TopLine, 24, 320, 657, 17);
    fixedLabel(N(Label93), page, 40, 328, 25, 20, markFont, Qt::AlignCenter);
    Label93->setFontColor(QColor(0, 128, 0));
    Label93->setText(ReadinessCheckMark());
    text(N(Label92), page, 66, 328);
    fixedLabel(N(Label90), page, 40, 352, 25, 20, markFont, Qt::AlignCenter);
    Label90->setFontColor(QColor(255, 0, 0));
    Label90->setText(ReadinessCrossMark());
    text(N(Label91), page, 66, 352);
}

void TForm1::createBasicSettingsPage() {
    QWidget* page = TabSheet12;
    disclaimer(N(Label131), page, 8, 33);
    checkBox(N(CheckBox9), page, 8, 56, 169, 17)->setChecked(true);
    checkBox(N(CheckBox8), page, 8, 96);
    edit(N(Edit10), page, 8, 118, 33, 21, 3, QStringLiteral("1"));
    upDown(N(UpDown6), page, 41, 118, Edit10, 0, 255, 1);

    TLabel** names[4] = {&Label122, &Label123, &Label128, &Label129};
    TLabel** values[4] = {&Label121, &Label126, &Label127, &Label130};
    const char* nameNames[4] = {"Label122", "Label123", "Label128", "Label129"};
    const char* valueNames[4] = {"Label121", "Label126", "Label127", "Label130"};
    const int fieldX[4] = {72, 229, 386, 544};
    for (int f = 0; f < 4; ++f) {
        BasicNameLabels[f] = nameLabel(*names[f], nameNames[f], page, fieldX[f], 80);
        BasicValueBoxes[f] = valueBox(*values[f], valueNames[f], page, fieldX[f], 116, 152, 28);
    }
    TLabel** raw[10] = {&Label134, &Label135, &Label136, &Label137, &Label138,
                        &Label139, &Label140, &Label141, &Label142, &Label143};
    const int rawX[10] = {72, 135, 198, 261, 324, 387, 450, 513, 576, 640};
    for (int i = 0; i < 10; ++i) {
        const QByteArray name = "Label" + QByteArray::number(134 + i);
        BasicRawValueBoxes[i] = valueBox(*raw[i], name.constData(), page, rawX[i], 116, 57, 28);
        BasicRawValueBoxes[i]->hide();
    }
    copyButton(N(BitBtn14), page, 616, 16);
    copyButton(N(BitBtn16), page, 616, 16)->hide();
}

void TForm1::createOutputTestPage() {
    QWidget* page = TabSheet13;
    button(N(BitBtn15), page, 16, 24, 121, 25, Glyph::Start);
    text(N(Label132), page, 16, 72);
    valueLabel(N(Label133), page, 160, 72, 518, 16, Qt::AlignLeft);
}

void TForm1::createVoltagePage() {
    QWidget* page = TabSheet10;
    text(N(Label158), page, 17, 14);
    TLabel** captions[6] = {&Label152, &Label153, &Label154, &Label155, &Label156, &Label157};
    QCheckBox** boxes[6] = {&CheckBox10, &CheckBox11, &CheckBox12,
                            &CheckBox13, &CheckBox14, &CheckBox15};
    TLabel** values[6] = {&Label146, &Label147, &Label148, &Label149, &Label150, &Label151};
    for (int k = 0; k < 6; ++k) {
        const QByteArray captionName = "Label" + QByteArray::number(152 + k);
        const QByteArray boxName = "CheckBox" + QByteArray::number(10 + k);
        const QByteArray valueName = "Label" + QByteArray::number(146 + k);
        text(*captions[k], captionName.constData(), page, 236, 94 + 40 * k)
            ->setText(QStringLiteral("ADC ") + QString::number(k));
        VoltageCheckBoxes[k] = checkBox(*boxes[k], boxName.constData(), page, 284, 94 + 40 * k);
        VoltageCheckBoxes[k]->setEnabled(false);
        VoltageValueBoxes[k] =
            valueBox(*values[k], valueName.constData(), page, 308, 88 + 40 * k, 152, 28);
    }
    checkBox(N(CheckBox16), page, 284, 328, 169, 17)->setChecked(true);
}

void TForm1::createSearchPage() {
    QWidget* page = TabSheet7;
    text(N(Label96), page, 16, 6);
    named(N(ComboBox3), page);
    ComboBox3->setGeometry(16, 24, 185, 21);
    text(N(Label94), page, 16, 62);
    named(N(CheckListBox1), page);
    CheckListBox1->setGeometry(16, 80, 185, 313);
    CheckListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    checkBox(N(CheckBox6), page, 19, 398, 174, 17);
    memo(N(Memo2), page, 224, 24, 465, 369, false);
    Memo2->setFont(Fonts::courierNew(13));
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void TForm1::createStatusBar() {
    named(N(StatusBar1), this);
    StatusBar1->setGeometry(0, 555 - 19, 740, 19);
    StatusBar1->setPanels({130, 75, 105, 105, 170, 40, 80});
    StatusBar1->onDrawPanel = [this](QPainter& painter, int panel, const QRect& rect) {
        Guarded([&] { StatusBar1DrawPanel(painter, panel, rect); });
    };
}
