#pragma once
// A main window in a temporary program folder of its own, connected through
// its real serial port to a simulator or a scripted interface, with prompts
// answered from a script.
#include "support/qt_printers.h"
#include "support/sim_process.h"
#include "support/ui/window_fixture.h"
#include "ui/form_widgets.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <vector>

class SessionTest : public WindowTest {
protected:
    SessionTest() {
        const QString data = qEnvironmentVariable("VANDRIX_DATA");
        for (const char* folder : {"labelfiles_de", "labelfiles_en"})
            QFile::link(data + '/' + folder, dir.filePath(QString::fromLatin1(folder)));
    }

    // A window whose configured port is terminal; extraIni adds keys to [Config].
    TForm1& makeWindow(const QString& terminal, const QByteArray& extraIni = {},
                       const QByteArray& language = "de") {
        writeIni("[Config]\r\nSprache=" + language +
                 "\r\nSplash=nein\r\nCOM-Port=" + terminal.toUtf8() + "\r\n" + extraIni);
        WindowTest::makeWindow();
        if (!terminal.isEmpty()) {
            EXPECT_EQ(window->ComboBox1->currentText(), terminal);
        }
        return *window;
    }

    // The test's own label file in place of the shipped German ones.
    void useOwnLabelFile(const QString& name, const QByteArray& text) {
        QFile::remove(dir.filePath(QStringLiteral("labelfiles_de")));
        QDir(dir.path()).mkpath(QStringLiteral("labelfiles_de"));
        writeFile(QStringLiteral("labelfiles_de/") + name, text);
    }

    // The scenario file in the program folder that startSim plays; empty
    // for the demo car.
    QString scenario;

    // vandrix-sim playing the scenario, with options as it takes them
    // ("--fault", "garbage@02#2", ...).
    std::unique_ptr<SimProcess> startSim(const QStringList& options = {}) {
        const QStringList own{QStringLiteral("--scenario"), dir.filePath(scenario)};
        auto sim = std::make_unique<SimProcess>(scenario.isEmpty() ? options : own + options);
        EXPECT_TRUE(sim->started()) << "vandrix-sim is built with the whole tree";
        return sim;
    }

    // The window on sim's terminal, the unit at address chosen as a user
    // does, shown and active.
    TForm1& openWindow(const SimProcess& sim, int address = 1, const QByteArray& extraIni = {}) {
        TForm1& w = makeWindow(sim.terminalPath(), extraIni);
        chooseUnit(address);
        w.show();
        QApplication::setActiveWindow(&w);
        return w;
    }

    // How often sim received command.
    static int count(const SimProcess& sim, const QString& command) {
        return int(sim.commands().count(command));
    }

    void chooseUnit(int address) {
        const QString prefix = QStringLiteral("%1").arg(address, 3, 10, QLatin1Char('0'));
        for (int i = 2; i < window->ComboBox2->count(); ++i)
            if (window->ComboBox2->itemText(i).startsWith(prefix)) {
                window->ComboBox2->setCurrentIndex(i);
                window->ComboBox2Change(); // as the user's choice does
                return;
            }
        ADD_FAILURE() << "no control unit entry for " << address;
    }

    // Connected and the identification shown: the tabs are open to the user.
    bool connected() const {
        return window->state.ConnectionState == ConnectionState::Connected &&
               !window->BitBtn2->isHidden() && window->BitBtn2->isEnabled() &&
               window->TabSheet1->pageEnabled();
    }

    // Presses Connect; once the session is connected, runs whileConnected
    // inside the session (as a user's action would) and then, when asked,
    // presses Disconnect. Returns when the session is over.
    void runSession(const std::function<void()>& whileConnected = {}, bool disconnect = true,
                    int timeoutMs = 20000) {
        bool done = false;
        QElapsedTimer clock;
        clock.start();
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (done)
                return;
            if (connected()) {
                done = true;
                if (whileConnected)
                    whileConnected();
                if (disconnect && !window->BitBtn2->isHidden())
                    window->BitBtn2Click();
            } else if (clock.elapsed() > timeoutMs) {
                done = true;
                ADD_FAILURE() << "the session never connected";
                window->BitBtn2Click();
            }
        });
        watcher.start(20);
        window->BitBtn3Click();
        watcher.stop();
    }

    // A user's session: each step waits for its condition, then acts. After
    // the last step Disconnect is pressed, or, when the last act ends the
    // session, the session must end by itself.
    struct Step {
        const char* what;
        std::function<bool()> ready;
        std::function<void()> act = [] {};
    };
    enum class End { Disconnect, ByItself };
    void drive(std::vector<Step> steps, End end = End::Disconnect, int stepTimeoutMs = 10000) {
        size_t next = 0;
        bool started = false;
        QElapsedTimer waiting;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (!started) {
                if (!connected())
                    return;
                started = true;
                waiting.start();
            }
            if (next < steps.size() && steps[next].ready()) {
                steps[next++].act();
                waiting.restart();
            } else if (next < steps.size() && waiting.elapsed() > stepTimeoutMs) {
                ADD_FAILURE() << "step never became ready: " << steps[next].what;
                next = steps.size();
            }
            if (next == steps.size() && end == End::ByItself && waiting.elapsed() > stepTimeoutMs) {
                ADD_FAILURE() << "the session did not end by itself";
                end = End::Disconnect;
            }
            if (next == steps.size() && end == End::Disconnect) {
                timer.stop();
                if (!window->BitBtn2->isHidden())
                    window->BitBtn2Click();
            }
        });
        timer.start(10);
        window->BitBtn3Click();
        timer.stop();
        EXPECT_EQ(next, steps.size()) << "the session ended early";
    }

    void expectIdleWindow(const QString& panel0 = QStringLiteral("Keine Verbindung")) {
        EXPECT_EQ(window->StatusBar1->panelText(0), panel0);
        EXPECT_EQ(window->state.ConnectionState, ConnectionState::NotConnected);
        for (int panel = 1; panel <= 4; ++panel)
            EXPECT_EQ(window->StatusBar1->panelText(panel), "") << "panel " << panel;
        EXPECT_FALSE(window->BitBtn3->isHidden());
        EXPECT_TRUE(window->BitBtn2->isHidden());
        EXPECT_TRUE(window->ComboBox1->isEnabled());
        EXPECT_TRUE(window->ComboBox2->isEnabled());
        EXPECT_FALSE(window->Session->portOpen());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
};
