// Makes the pictures of the user guide in README.md from the real window, in
// English, on the offscreen platform, talking to the demo interface. Each
// picture is one line of the tables below: what to do, when the window is
// ready to be shown, which window to take.
// Usage: user_guide_pictures <folder>   (./vandrix.sh screenshots)
#include "config/strings.h"
#include "link/port_list.h"
#include "ui/application.h"
#include "ui/form_widgets.h"
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

// One picture: act, wait until ready, let it settle, then take the widget
// act returned (the main window when it returns nullptr). A step without a
// name takes no picture.
struct Shot {
    const char* name;
    std::function<QWidget*(TForm1&)> act;
    std::function<bool(TForm1&)> ready = [](TForm1&) { return true; };
    int settleMs = 300;
};

void chooseUnit(TForm1& f, int entry) {
    f.ComboBox2->setCurrentIndex(entry);
    emit f.ComboBox2->activated(entry);
}

bool filled(const TLabel* box) {
    return !box->text().isEmpty();
}

// Before connecting.
const std::vector<Shot> Idle = {
    {"connect",
     [](TForm1& f) {
         chooseUnit(f, 2);
         return nullptr;
     }},
};

// While connected to the engine, in this order.
const std::vector<Shot> Connected = {
    {"info", [](TForm1&) { return nullptr; },
     [](TForm1& f) { return filled(f.Label6) && filled(f.Label7); }},
    {"group",
     [](TForm1& f) {
         f.PageControl1->setActivePage(f.TabSheet2);
         for (int slot = 0; slot < 4; ++slot) {
             f.GroupEdits[slot]->setText(QString::number(slot + 1));
             f.GroupEnableBoxes[slot]->setChecked(true);
         }
         return nullptr;
     },
     [](TForm1& f) { return filled(f.GroupValueBoxes[3][0]); }, 1500},
    {"raw",
     [](TForm1& f) {
         f.PageControl1->setActivePage(f.TabSheet5);
         return nullptr;
     },
     [](TForm1& f) { return filled(f.RawValueBoxes[0]); }, 1000},
    {"faults",
     [](TForm1& f) {
         f.PageControl1->setActivePage(f.TabSheet3);
         return nullptr;
     },
     [](TForm1& f) { return !f.StringGrid1->cell(1, 1).isEmpty(); }},
    {nullptr,
     [](TForm1& f) {
         f.PageControl1->setActivePage(f.TabSheet2);
         f.BitBtn5->click();
         return nullptr;
     },
     [](TForm1& f) { return f.CheckBox7->isEnabled(); }, 0},
    {"log",
     [](TForm1& f) {
         f.CheckBox7->click();
         return nullptr;
     },
     [](TForm1& f) { return f.CheckBox7->isChecked(); }, 2000},
};

// The control unit search over a car of the list.
const std::vector<Shot> Search = {
    {"search", [](TForm1&) { return nullptr; },
     [](TForm1& f) { return f.BitBtn3->isVisible() && !f.Memo2->toPlainText().isEmpty(); }},
};

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
    TForm1Options options;
    options.programDir = program.path();
    options.portRoots = {program.filePath(QStringLiteral("no-ports/dev")),
                         program.filePath(QStringLiteral("no-ports/sys"))};
    TForm1 window(prompts, options);
    window.show();

    bool ok = runShots(window, Idle, folder, [] {});
    ok = ok && runShots(window, Connected, folder, [&] { window.BitBtn3Click(); });
    // The units of the demo car.
    chooseUnit(window, 1);
    for (int i = 0; i < window.CheckListBox1->count(); ++i) {
        QListWidgetItem* unit = window.CheckListBox1->item(i);
        if (QList<int>{1, 2, 3, 9, 17}.contains(unit->text().left(3).toInt()))
            unit->setCheckState(Qt::Checked);
    }
    ok = ok && runShots(window, Search, folder, [&] { window.BitBtn3Click(); });
    window.FormClose();
    return ok ? 0 : 1;
}
