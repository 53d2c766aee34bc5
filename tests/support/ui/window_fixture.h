#pragma once
// A main window made in a temporary program folder of its own, with no
// serial ports but those a test adds, answering prompts from a script. Its
// demo interface is a simulator in this process, started only when a test
// opens the demo entry; the plain-cable demo runs in this process too.
#include "sim/kline_demo.h"
#include "sim/simulator_host.h"
#include "support/ui/scripted_prompts.h"
#include "ui/main_window.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtWidgets>
#include <gtest/gtest.h>
#include <memory>

class WindowTest : public ::testing::Test {
protected:
    WindowTest() {
        UiTestApp();
        QDir(dir.path()).mkpath(QStringLiteral("fake/dev"));
        QDir(dir.path()).mkpath(QStringLiteral("fake/sys"));
    }

    // Writes vandrix.ini into the program folder.
    void writeIni(const QByteArray& text) { writeFile(QStringLiteral("vandrix.ini"), text); }

    // Writes a file into the program folder.
    void writeFile(const QString& name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        file.write(text);
    }

    // Shows the window and lets its show handler run.
    void showWindow(TForm1& f) {
        f.show();
        QCoreApplication::processEvents();
    }

    // A new window (replacing the last one) as the program starts it.
    TForm1& makeWindow() {
        TForm1Options options;
        options.programDir = dir.path();
        options.portRoots.dev = dir.filePath(QStringLiteral("fake/dev"));
        options.portRoots.sys = dir.filePath(QStringLiteral("fake/sys"));
        options.demoInterface = MakeDemoStarter(demo, SimulatorHost::defaultScenarioPath());
        options.demoReplay = [this](const QString& recording) {
            return MakeDemoStarter(demo, recording);
        };
        options.demoKLine = KLineDemoMaker(SimulatorHost::defaultScenarioPath());
        window.reset();
        window = std::make_unique<TForm1>(prompts, options);
        return *window;
    }

    QTemporaryDir dir;
    ScriptedPrompts prompts;
    SimulatorHost demo; // the demo interface
    std::unique_ptr<TForm1> window;
};
