// Start-up of the main window from the configuration file: every key with its
// default and the values that are easy to get wrong.
#include "config/strings.h"
#include "reports/link_texts.h"
#include "support/pty_pair.h"
#include "support/ui/window_fixture.h"
#include "ui/form_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QListWidget>
#include <optional>

namespace {

struct StartCase {
    const char* name;
    std::optional<QByteArray> ini; // nullopt: no configuration file
    std::function<void(TForm1&)> check;
    bool banner = false;
};

QByteArray config(const char* lines) {
    return QByteArray("[Config]\n") + lines;
}

} // namespace

class StartupTest : public WindowTest {};

TEST_F(StartupTest, ConfigurationVariants) {
    const StartCase cases[] = {
        {"no file: defaults, German, no banner", std::nullopt,
         [](TForm1& f) {
             EXPECT_EQ(f.state.LanguageOffset, 0);
             EXPECT_TRUE(f.state.LanguageCode.isEmpty());
             EXPECT_EQ(f.state.InterByteTime, 5);
             EXPECT_EQ(f.state.BlockDelayTime, 40);
             EXPECT_EQ(f.state.KLineBaud, 0);
             EXPECT_EQ(f.state.U2, 0.0);
             EXPECT_FALSE(f.state.ConfigFileOpen());
             EXPECT_EQ(f.StatusBar1->panelText(5), QString()); // only set from the file
             EXPECT_EQ(f.StatusBar1->panelText(1), QString());
             EXPECT_EQ(f.Label158->text(), QString());
             EXPECT_FALSE(f.CheckBox10->isEnabled());
             EXPECT_EQ(f.GroupBox1->title(), QStringLiteral("Steuergerät:"));
         }},
        {"English", config("Sprache=en\nSplash=nein\n"),
         [](TForm1& f) {
             EXPECT_EQ(f.state.LanguageOffset, 10000);
             EXPECT_EQ(f.state.LanguageCode, QStringLiteral("en"));
             EXPECT_EQ(f.GroupBox1->title(), QStringLiteral("Control Unit:"));
             EXPECT_EQ(f.StatusBar1->panelText(5), QStringLiteral("5|40"));
         }},
        {"EN in capitals is German", config("Sprache=EN\nSplash=nein\n"),
         [](TForm1& f) {
             EXPECT_EQ(f.state.LanguageOffset, 0);
             EXPECT_EQ(f.state.LanguageCode, QStringLiteral("de"));
         }},
        {"en with a trailing blank is English", config("Sprache=en \nSplash=nein\n"),
         [](TForm1& f) { EXPECT_EQ(f.state.LanguageOffset, 10000); }},
        {"IBT and BDT read", config("IBT=7\nBDT=30\nSplash=nein\n"),
         [](TForm1& f) {
             EXPECT_EQ(f.state.InterByteTime, 7);
             EXPECT_EQ(f.state.BlockDelayTime, 30);
             EXPECT_EQ(f.StatusBar1->panelText(5), QStringLiteral("7|30"));
         }},
        {"IBT not a number, BDT empty", config("IBT=abc\nBDT=\nSplash=nein\n"),
         [](TForm1& f) {
             EXPECT_EQ(f.state.InterByteTime, 5);
             EXPECT_EQ(f.state.BlockDelayTime, 40);
             EXPECT_EQ(f.StatusBar1->panelText(5), QStringLiteral("5|40"));
         }},
        {"fixed K-line speed", config("Baud=9600\nSplash=nein\n"),
         [](TForm1& f) {
             EXPECT_EQ(f.state.KLineBaud, 9600);
             EXPECT_EQ(f.state.FixedBaudMarked, 1);
             EXPECT_EQ(f.StatusBar1->panelText(1), QStringLiteral("9600 Baud"));
         }},
        {"speed that is not fixed", config("Baud=10400\nSplash=nein\n"),
         [](TForm1& f) {
             EXPECT_EQ(f.state.KLineBaud, 10400);
             EXPECT_EQ(f.state.FixedBaudMarked, 0);
             EXPECT_EQ(f.StatusBar1->panelText(1), QString());
         }},
        {"U2 with a point, factors enable their inputs",
         config("U2=5.0\nTV0=1.5\nTV1=0\nTV3=-1\nTV5=abc\nTV4=2\nSplash=nein\n"),
         [](TForm1& f) {
             EXPECT_EQ(f.state.U2, 5.0);
             EXPECT_EQ(f.Label158->text(), QStringLiteral("U2 max: 5.0 V"));
             EXPECT_EQ(f.Label158->fontColor(), QColor(Qt::black));
             EXPECT_EQ(f.state.TV[0], 1.5);
             EXPECT_EQ(f.state.TV[4], 2.0);
             EXPECT_EQ(f.state.TV[5], 0.0);
             const bool enabled[6] = {true, false, false, false, true, false};
             for (int n = 0; n < 6; ++n)
                 EXPECT_EQ(f.VoltageCheckBoxes[n]->isEnabled(), enabled[n]) << "TV" << n;
         }},
        {"U2 with a comma is shown but reads 0", config("U2=5,0\nTV2=1\nSplash=nein\n"),
         [](TForm1& f) {
             EXPECT_EQ(f.state.U2, 0.0);
             EXPECT_EQ(f.Label158->text(), QStringLiteral("U2 max: 5,0 V"));
             EXPECT_TRUE(f.CheckBox12->isEnabled());
         }},
        {"no U2: factors are not read", config("TV0=1.5\nSplash=nein\n"),
         [](TForm1& f) {
             EXPECT_EQ(f.state.TV[0], 0.0);
             EXPECT_FALSE(f.CheckBox10->isEnabled());
             EXPECT_EQ(f.Label158->text(), QStringLiteral("U2 nicht definiert!"));
             EXPECT_EQ(f.Label158->fontColor(), QColor(Qt::red));
         }},
        {"unknown port keeps the first entry", config("COM-Port=/dev/ttyNONE7\nSplash=nein\n"),
         [](TForm1& f) {
             EXPECT_EQ(f.ComboBox1->currentIndex(), 0);
             EXPECT_EQ(f.ComboBox1->currentText(), DemoInterfaceName(0));
         }},
        {"Splash key missing shows the banner", config("IBT=5\n"), [](TForm1&) {}, true},
        {"Splash NEIN in capitals shows the banner", config("Splash=NEIN\n"), [](TForm1&) {}, true},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir.filePath(QStringLiteral("vandrix.ini")));
        if (c.ini)
            writeIni(*c.ini);
        if (c.banner)
            prompts.expectBanner();
        TForm1& f = makeWindow();
        showWindow(f);
        c.check(f);
        f.close();
        prompts.verifyDone();
        window.reset();
    }
}

TEST_F(StartupTest, ConfiguredTerminalIsListedAndPreselected) {
    PtyPair pty;
    writeIni(config("Sprache=en\nSplash=nein\nCOM-Port= ") + pty.slavePath().toUtf8() + "\n");
    TForm1& f = makeWindow();
    ASSERT_EQ(f.ComboBox1->count(), 3);
    EXPECT_EQ(f.ComboBox1->currentText(), pty.slavePath());
    // The demo entries last.
    EXPECT_EQ(f.ComboBox1->itemText(1), DemoInterfaceName(10000));
    EXPECT_EQ(f.ComboBox1->itemText(2), DemoKLineName(10000));
}

TEST_F(StartupTest, TheDemoEntryIsPreselectedByItsNameInEitherLanguage) {
    // An adapter is listed first, so only the configuration picks the demo.
    QFile adapter(dir.filePath(QStringLiteral("fake/dev/ttyUSB0")));
    ASSERT_TRUE(adapter.open(QIODevice::WriteOnly));
    adapter.close();
    const struct {
        QString (*name)(int);
        bool (*is)(const QString&);
        int index;
    } demos[] = {{DemoInterfaceName, IsDemoInterfaceName, 1}, {DemoKLineName, IsDemoKLineName, 2}};
    for (const auto& demo : demos)
        for (const char* language : {"de", "en"}) {
            for (int named : {0, 10000}) {
                SCOPED_TRACE(std::string(language) + " file naming " +
                             demo.name(named).toStdString());
                writeIni(config("Splash=nein\nSprache=") + language +
                         "\nCOM-Port=" + demo.name(named).toUtf8() + "\n");
                TForm1& f = makeWindow();
                ASSERT_EQ(f.ComboBox1->count(), 3);
                EXPECT_TRUE(demo.is(f.ComboBox1->currentText()));
                EXPECT_EQ(f.ComboBox1->currentIndex(), demo.index);
                window.reset();
            }
        }
}

TEST_F(StartupTest, DebugTrace) {
    writeIni(config("Debug=ja\nSplash=nein\n"));
    prompts.expectMessage(QStringLiteral("Log-Datei wird geschrieben"), QString(),
                          PromptIcon::Warning);
    makeWindow();
    EXPECT_TRUE(window->Trace.IsOn());
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("debug.txt"))).isFile());
    window.reset();

    // "Ja" is not "ja": no trace, no message.
    QFile::remove(dir.filePath(QStringLiteral("debug.txt")));
    writeIni(config("Debug=Ja\nSplash=nein\n"));
    makeWindow();
    EXPECT_FALSE(window->Trace.IsOn());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("debug.txt"))));
}

TEST_F(StartupTest, DebugTraceThatCannotBeCreatedIsReportedAndStartUpGoesOn) {
    // A folder in the file's place fails even for root.
    QDir(dir.path()).mkdir(QStringLiteral("debug.txt"));
    writeIni(config("Debug=ja\nSprache=en\nSplash=nein\n"));
    prompts.expectMessage(QStringLiteral("Creation of the Debug file failed"), QString(),
                          PromptIcon::Error);
    TForm1& f = makeWindow();
    EXPECT_FALSE(f.Trace.IsOn());
    EXPECT_EQ(f.ComboBox2->count(), 96);
}

// A timing outside the chip's byte gives its default and a line in the
// trace; a configuration that is an endless device is refused with a box,
// never read until the memory runs out.
TEST_F(StartupTest, TimingsOutOfRangeAndAnEndlessConfigurationAreRefused) {
    writeIni(config("IBT=300\nBDT=-7\nDebug=ja\nSplash=nein\n"));
    prompts.expectMessage(QStringLiteral("Log-Datei wird geschrieben"), QString(),
                          PromptIcon::Warning);
    TForm1& f = makeWindow();
    EXPECT_EQ(f.state.InterByteTime, 5);
    EXPECT_EQ(f.state.BlockDelayTime, 40);
    EXPECT_EQ(f.StatusBar1->panelText(5), QStringLiteral("5|40"));
    f.Trace.Close();
    QFile trace(dir.filePath(QStringLiteral("debug.txt")));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QString text = QString::fromLocal8Bit(trace.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("IBT=300 liegt nicht in 0..255, es gilt 5")));
    EXPECT_TRUE(text.contains(QStringLiteral("BDT=-7 liegt nicht in 0..255, es gilt 40")));
    prompts.verifyDone();
    window.reset();

    QFile::remove(dir.filePath(QStringLiteral("vandrix.ini")));
    ASSERT_TRUE(
        QFile::link(QStringLiteral("/dev/zero"), dir.filePath(QStringLiteral("vandrix.ini"))));
    prompts.expectMessageContaining(QStringLiteral("ist größer als 64 kB und wird nicht gelesen"));
    TForm1& g = makeWindow();
    EXPECT_FALSE(g.state.ConfigFileOpen());
    EXPECT_EQ(g.state.BlockDelayTime, 40);
}

TEST_F(StartupTest, NotConnectedViewAfterStart) {
    writeIni(config("Splash=nein\n"));
    TForm1& f = makeWindow();
    showWindow(f);
    EXPECT_FALSE(f.PageControl1->isVisible());
    EXPECT_FALSE(f.PageControl2->isVisible());
    EXPECT_TRUE(f.BitBtn3->isVisible());
    EXPECT_FALSE(f.BitBtn3->isEnabled());
    EXPECT_FALSE(f.BitBtn2->isVisible());
    for (QWidget* w :
         std::initializer_list<QWidget*>{f.BitBtn5, f.BitBtn6, f.BitBtn11, f.CheckBox7})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(f.CheckBox7->isChecked());
    EXPECT_EQ(f.state.ConnectionState, ConnectionState::NotConnected);
    EXPECT_EQ(f.StatusBar1->panelText(0), QStringLiteral("Keine Verbindung"));
    EXPECT_EQ(f.ComboBox2->currentIndex(), 0);
    EXPECT_FALSE(f.Memo1->isVisible());
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(f.ReadinessDigits[i]->text(), QStringLiteral("-"));
        EXPECT_TRUE(f.ReadinessMarks[i]->text().isEmpty());
    }
    EXPECT_FALSE(f.BasicRawValueBoxes[0]->isVisibleTo(f.TabSheet12));
    EXPECT_TRUE(f.BasicValueBoxes[0]->isVisibleTo(f.TabSheet12));
    EXPECT_FALSE(f.Label117->isVisibleTo(f.TabSheet8));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Vandrix  |  Version 1.41"));
}
