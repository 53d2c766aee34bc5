// Makes the pictures of the user guide in README.md from the real window, in
// English, on the offscreen platform, talking to the demo interface. Each
// picture is one line of the tables below: what to do, when the window is
// ready to be shown, which window to take.
// Usage: user_guide_pictures <folder>   (./vandrix.sh screenshots)
#include "config/strings.h"
#include "link/port_list.h"
#include "sim/simulator_host.h"
#include "ui/application.h"
#include "ui/form_widgets.h"
#include "ui/graph_window.h"
#include "ui/main_window.h"
#include "ui/prompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The answers a user would give while the pictures are made.
class GuidePrompts : public Prompts {
public:
    QString logFile;
    void message(const QString&, const QString& text, PromptIcon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool question(const QString&, const QString&, PromptIcon, bool) override { return true; }
    int confirm(int) override { return 1; }
    void about() override {}
    void banner() override {}
    QString saveFile(const SaveFileRequest&) override { return logFile; }
    bool print(QPrinter&) override { return false; }
};

void chooseUnit(TForm1& f, int entry) {
    f.ComboBox2->setCurrentIndex(entry);
    emit f.ComboBox2->activated(entry);
}

using Act = std::function<QWidget*(TForm1&)>;
using Ready = std::function<bool(TForm1&)>;

// What a user does.
Act choose(int unitEntry) {
    return [unitEntry](TForm1& f) {
        chooseUnit(f, unitEntry);
        return nullptr;
    };
}
Act page(TTabSheet* TForm1::*sheet) {
    return [sheet](TForm1& f) {
        f.PageControl1->selectTabByUser((f.*sheet)->pageIndex());
        return nullptr;
    };
}
Act groups(std::vector<int> numbers) {
    return [numbers](TForm1& f) {
        f.PageControl1->selectTabByUser(f.TabSheet2->pageIndex());
        for (size_t slot = 0; slot < numbers.size(); ++slot) {
            f.GroupEdits[slot]->setText(QString::number(numbers[slot]));
            f.GroupEnableBoxes[slot]->setChecked(true);
        }
        return nullptr;
    };
}
template <typename Button> Act click(Button* TForm1::*button) {
    return [button](TForm1& f) {
        (f.*button)->click();
        return nullptr;
    };
}

Act scrollToStart(QPlainTextEdit* TForm1::*text) {
    return [text](TForm1& f) {
        (f.*text)->horizontalScrollBar()->setValue(0);
        (f.*text)->verticalScrollBar()->setValue(0);
        return nullptr;
    };
}
// The graph window of the Group page, once it has drawn a few seconds.
Act openGraph() {
    return [](TForm1& f) -> QWidget* {
        f.GraphButton->click();
        return f.LiveGraph;
    };
}
Act nothing() {
    return [](TForm1&) { return nullptr; };
}

// When the window is worth a picture.
Ready always() {
    return [](TForm1&) { return true; };
}
Ready connected() {
    return [](TForm1& f) { return f.state.ConnectionState == 2 && !f.Label6->text().isEmpty(); };
}
Ready shows(TLabel* TForm1::*label) {
    return [label](TForm1& f) { return !(f.*label)->text().isEmpty(); };
}
Ready enabled(QCheckBox* TForm1::*box) {
    return [box](TForm1& f) { return (f.*box)->isEnabled(); };
}
Ready ticked(QCheckBox* TForm1::*box) {
    return [box](TForm1& f) { return (f.*box)->isChecked(); };
}
Ready faultTexts() {
    return [](TForm1& f) { return !f.StringGrid1->cell(2, 2).isEmpty(); };
}
Ready searchDone() {
    return [](TForm1& f) { return f.BitBtn3->isVisible() && !f.Memo2->toPlainText().isEmpty(); };
}

// One picture (or, without a name, one step): act, wait until ready, let it
// settle for settleMs, take the widget act returned (nullptr: the window).
struct Shot {
    const char* name;
    Act act;
    Ready ready;
    int settleMs = 300;
};

// clang-format off
// Before connecting.
const std::vector<Shot> Idle = {
    {"connect", choose(2),                  always()},
};

// Connected to the engine (list entry 2), in this order.
const std::vector<Shot> Engine = {
    {nullptr,   nothing(),                  connected(), 0},
    {"info",    page(&TForm1::TabSheet1),   shows(&TForm1::Label7)},
    {"raw",     page(&TForm1::TabSheet5),   [](TForm1& f) { return !f.RawValueBoxes[0]->text().isEmpty(); }, 1000},
    {"group",   groups({1, 2, 3, 4}),       [](TForm1& f) { return !f.GroupValueBoxes[3][0]->text().isEmpty(); }, 1500},
    {"graph",   openGraph(),                [](TForm1& f) { return f.LiveGraph && f.LiveGraph->isVisible(); }, 6000},
    {nullptr,   click(&TForm1::BitBtn5),    enabled(&TForm1::CheckBox7), 0},
    {"log",     click(&TForm1::CheckBox7),  ticked(&TForm1::CheckBox7), 2000},
};

// Connected to the ABS unit (list entry 4), which has stored faults.
const std::vector<Shot> Abs = {
    {nullptr,   nothing(),                  connected(), 0},
    {"faults",  page(&TForm1::TabSheet3),   faultTexts()},
};

// The control unit search over the units of the demo car.
const std::vector<Shot> Search = {
    {nullptr,   nothing(),                  searchDone(), 0},
    {"search",  scrollToStart(&TForm1::Memo2), always()},
};
// clang-format on

// Runs shots one after the other while the window's session loop (or search)
// runs inside start(); ends the session after the last one.
bool runShots(TForm1& f, const std::vector<Shot>& shots, const QString& folder,
              const std::function<void()>& start) {
    size_t next = 0;
    bool acted = false, ok = true;
    QWidget* target = nullptr;
    QElapsedTimer waited, settled;
    waited.start();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (next >= shots.size())
            return;
        const Shot& shot = shots[next];
        if (!acted) {
            target = shot.act(f);
            acted = true;
            waited.restart();
            settled.invalidate();
            return;
        }
        if (!settled.isValid()) {
            if (shot.ready(f)) {
                settled.start();
            } else if (waited.elapsed() > 20000) {
                std::fprintf(stderr, "never ready: %s\n", shot.name);
                ok = false;
                next = shots.size();
                f.BitBtn2Click();
            }
            return;
        }
        if (settled.elapsed() < shot.settleMs)
            return;
        QWidget* widget = target ? target : &f;
        const QString path = QDir(folder).filePath(QString::fromLatin1(shot.name) + ".png");
        if (!shot.name) {
        } else if (!widget->grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ok = false;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
        acted = false;
        if (++next == shots.size() && !f.BitBtn2->isHidden())
            f.BitBtn2Click();
    });
    timer.start(20);
    start();
    // Shots taken without a session to end.
    while (next < shots.size() && ok)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    timer.stop();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // What the program keeps for the user (recordings, search reports) goes
    // to a folder of this run, not into the real user's.
    QTemporaryDir userData;
    qputenv("XDG_DATA_HOME", QFile::encodeName(userData.path()));
    VandrixApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: user_guide_pictures <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    // A program folder of its own: the shipped data, an English configuration
    // choosing the demo interface, no serial ports of this machine.
    QTemporaryDir program;
    for (const QString& name : QDir(QStringLiteral(VANDRIX_SOURCE_DATA))
                                   .entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        if (name != QStringLiteral("vandrix.ini"))
            QFile::link(QDir(QStringLiteral(VANDRIX_SOURCE_DATA)).filePath(name),
                        program.filePath(name));
    QFile ini(program.filePath(QStringLiteral("vandrix.ini")));
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write("[Config]\nSprache=en\nSplash=nein\nU2=5.0\nTV0=3\nTV1=1\nCOM-Port=" +
              DemoInterfaceName(EnglishStringOffset).toUtf8() + "\n");
    ini.close();
    QDir(program.path()).mkpath(QStringLiteral("no-ports/dev"));
    QDir(program.path()).mkpath(QStringLiteral("no-ports/sys"));

    GuidePrompts prompts;
    prompts.logFile = program.filePath(QStringLiteral("measurements.csv"));
    SimulatorHost demo;
    TForm1Options options;
    options.programDir = program.path();
    options.demoInterface = MakeDemoStarter(
        demo, QDir(QStringLiteral(VANDRIX_SOURCE_DATA)).filePath("scenarios/demo_car.ini"));
    options.portRoots = {program.filePath(QStringLiteral("no-ports/dev")),
                         program.filePath(QStringLiteral("no-ports/sys"))};
    TForm1 window(prompts, options);
    window.show();

    bool ok = runShots(window, Idle, folder, [] {});
    ok = ok && runShots(window, Engine, folder, [&] { window.BitBtn3Click(); });
    chooseUnit(window, 4);
    ok = ok && runShots(window, Abs, folder, [&] { window.BitBtn3Click(); });
    // The units of the demo car.
    chooseUnit(window, 1);
    for (int i = 0; i < window.CheckListBox1->count(); ++i) {
        QListWidgetItem* unit = window.CheckListBox1->item(i);
        if (QList<int>{1, 2, 3, 9, 23}.contains(unit->text().left(3).toInt()))
            unit->setCheckState(Qt::Checked);
    }
    ok = ok && runShots(window, Search, folder, [&] { window.BitBtn3Click(); });
    window.FormClose();
    return ok ? 0 : 1;
}
