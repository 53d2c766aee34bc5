#pragma once
// What the session benchmarks share (the simulator is SimProcess behind a
// fixed link): the real main window in a program folder of its own, prompts
// that answer nothing but keep what was said, and the figures of this process.
#include "support/sim_process.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

namespace Bench {

inline int64_t nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

inline QString binDir() {
    return QCoreApplication::applicationDirPath() + "/../bin";
}

// Messages are counted and kept; every question is answered No, and a
// confirmation dialog is closed.
struct QuietPrompts : Prompts {
    QStringList messages;
    int64_t lastMessageUs = 0;
    std::function<void(const QString&)> onMessage;
    void message(const QString&, const QString& text, PromptIcon) override {
        lastMessageUs = nowUs();
        messages << text;
        if (onMessage)
            onMessage(text);
    }
    bool question(const QString&, const QString&, PromptIcon, bool) override { return false; }
    int confirm(int) override { return 3; }
    void about() override {}
    void banner() override {}
    QString saveFile(const SaveFileRequest&) override { return {}; }
    bool print(QPrinter&) override { return false; }
};

// The real window, configured for the simulator's link, in a program folder of
// its own with the demo car's label files.
class Window {
public:
    explicit Window(const QString& link) {
        QFile ini(m_dir.filePath("vandrix.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[Config]\nSplash=nein\nSprache=de\nCOM-Port=" + link.toUtf8() + "\n");
        ini.close();
        QFile::link(binDir() + "/labelfiles_de", m_dir.filePath("labelfiles_de"));
        QFile::link(binDir() + "/autoscan.ini", m_dir.filePath("autoscan.ini"));
        QDir(m_dir.path()).mkpath("fake/dev");
        QDir(m_dir.path()).mkpath("fake/sys");
        TForm1Options options;
        options.programDir = m_dir.path();
        options.portRoots.dev = m_dir.filePath("fake/dev");
        options.portRoots.sys = m_dir.filePath("fake/sys");
        form = std::make_unique<TForm1>(prompts, options);
        form->ComboBox1->setCurrentText(link);
        chooseUnit(1);
    }

    void chooseUnit(int address) {
        const QString prefix = QString("%1").arg(address, 3, 10, QLatin1Char('0'));
        for (int i = 2; i < form->ComboBox2->count(); ++i)
            if (form->ComboBox2->itemText(i).startsWith(prefix)) {
                form->ComboBox2->setCurrentIndex(i);
                form->ComboBox2Change();
                return;
            }
    }

    bool connected() const {
        return form->state.ConnectionState == ConnectionState::Connected &&
               !form->BitBtn2->isHidden() && form->BitBtn2->isEnabled();
    }
    bool idle() const { return !form->state.SessionRunning; }

    // The Group page with its four slots ticked, groups 1 to 4.
    void pollFourGroups() {
        form->PageControl1->setActivePage(form->TabSheet2);
        form->PageControl1Change();
        for (size_t k = 0; k < 4; ++k) {
            form->GroupEdits[k]->setText(QString::number(k + 1));
            form->GroupEnableBoxes[k]->setChecked(true);
        }
    }

    QTemporaryDir m_dir;
    QuietPrompts prompts;
    std::unique_ptr<TForm1> form;
};

// Runs step every periodMs while the Connect click (a session or a search)
// runs inside the event loop; returns when it is over.
inline void runClick(TForm1& form, int periodMs, const std::function<void()>& step) {
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, step);
    timer.start(periodMs);
    form.BitBtn3Click();
    timer.stop();
}

inline long residentKb() {
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

inline int openDescriptors() {
    return int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}

} // namespace Bench
