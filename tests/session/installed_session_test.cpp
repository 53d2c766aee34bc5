// The installed program in whole sessions: its configuration and the user's
// files in the user's XDG folders, its data in share/vandrix, and a USB
// adapter chosen by its stable name (the simulator behind a fake device tree).
#include "support/pty_pair.h"
#include "support/scoped_env.h"
#include "support/sim_process.h"
#include "support/ui/session_fixture.h"

#include <QCheckBox>

class InstalledSessionTest : public SessionTest {
protected:
    InstalledSessionTest()
        : configHome("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config"))),
          dataHome("XDG_DATA_HOME", dir.filePath(QStringLiteral("data"))) {
        QDir(dir.path()).mkpath(QStringLiteral("prefix/bin"));
        QDir(dir.path()).mkpath(QStringLiteral("prefix/share/vandrix"));
        const QString data = qEnvironmentVariable("VANDRIX_DATA");
        for (const char* folder : {"labelfiles_de", "labelfiles_en"})
            QFile::link(data + '/' + folder,
                        dir.filePath(QStringLiteral("prefix/share/vandrix/") + folder));
        writeFile(QStringLiteral("prefix/share/vandrix/vandrix.ini"),
                  "[Config]\nSprache=de\nSplash=nein\nCOM-Port=\n");
    }

    // terminal as a USB adapter: its sysfs device with the adapter's strings,
    // its /dev node and udev's stable link. Returns the stable link.
    QString plugAdapter(const QString& terminal, const QString& serial) {
        const QString name = QStringLiteral("ttyUSB%1").arg(m_adapters++);
        const QString usb = QStringLiteral("fake/sys/devices/usb1/1-%1").arg(m_adapters);
        const QString tty = usb + QStringLiteral("/1-%1:1.0/").arg(m_adapters) + name;
        QDir(dir.path()).mkpath(tty);
        writeFile(usb + QStringLiteral("/idVendor"), "0403\n");
        writeFile(usb + QStringLiteral("/manufacturer"), "Vandrix\n");
        writeFile(usb + QStringLiteral("/product"), "K-Line Adapter\n");
        writeFile(usb + QStringLiteral("/serial"), serial.toUtf8() + '\n');
        const QString classDir = QStringLiteral("fake/sys/class/tty/") + name;
        QDir(dir.path()).mkpath(classDir);
        QFile::link(dir.filePath(tty), dir.filePath(classDir + QStringLiteral("/device")));
        QFile::link(terminal, dir.filePath(QStringLiteral("fake/dev/") + name));
        QDir(dir.path()).mkpath(QStringLiteral("fake/dev/serial/by-id"));
        const QString stable =
            dir.filePath(QStringLiteral("fake/dev/serial/by-id/usb-Vandrix_K-Line_Adapter_") +
                         serial + QStringLiteral("-if00-port0"));
        QFile::link(QStringLiteral("../../") + name, stable);
        return stable;
    }

    TForm1& startInstalled() {
        TForm1Options options;
        options.programDir = dir.filePath(QStringLiteral("prefix/bin"));
        options.portRoots.dev = dir.filePath(QStringLiteral("fake/dev"));
        options.portRoots.sys = dir.filePath(QStringLiteral("fake/sys"));
        window.reset();
        window = std::make_unique<TForm1>(prompts, options);
        return *window;
    }

    QString userConfig() const {
        return dir.filePath(QStringLiteral("config/vandrix/vandrix.ini"));
    }
    QString configuredPort(const QString& path) const {
        return IniFile::open(path).readString(QStringLiteral("Config"), QStringLiteral("COM-Port"));
    }

    ScopedEnv configHome, dataHome;
    int m_adapters = 0;
};

TEST_F(InstalledSessionTest, TheAdapterIsChosenByItsStableNameAndRememberedForTheNextStart) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    const QString stable = plugAdapter(sim.terminalPath(), QStringLiteral("VX0042"));

    TForm1& w = startInstalled();
    ASSERT_TRUE(QFileInfo(userConfig()).isFile()) << "made from the shipped defaults";
    EXPECT_EQ(w.state.ConfigFile.path(), userConfig());
    // A log file is offered in the user's folders, not where the program started.
    EXPECT_FALSE(w.SaveDialog1.directory.isEmpty());
    EXPECT_EQ(w.SaveDialog1.directory, w.state.Paths.documentsDir());
    EXPECT_EQ(w.CurrentPort(), stable);
    EXPECT_EQ(w.ComboBox1->currentText(),
              stable +
                  QStringLiteral("  \u2013  Vandrix K-Line Adapter, Seriennr. VX0042, ttyUSB0"));

    chooseUnit(1);
    runSession();
    EXPECT_EQ(sim.commands().count(QStringLiteral("ATH")), 1);
    EXPECT_EQ(configuredPort(userConfig()), stable);
    EXPECT_EQ(configuredPort(dir.filePath(QStringLiteral("prefix/share/vandrix/vandrix.ini"))), "");

    // Next start: another adapter now sorts first, the remembered one is chosen.
    PtyPair other;
    const QString first = plugAdapter(other.slavePath(), QStringLiteral("AAAA01"));
    TForm1& again = startInstalled();
    EXPECT_EQ(again.ComboBox1->itemData(0).toString(), first);
    EXPECT_EQ(again.CurrentPort(), stable);
}

TEST_F(InstalledSessionTest, UsersOwnLabelFileAndDebugTraceLiveInTheUsersDataFolder) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    QDir(dir.path()).mkpath(QStringLiteral("config/vandrix"));
    writeFile(QStringLiteral("config/vandrix/vandrix.ini"),
              "[Config]\nSprache=de\nSplash=nein\nDebug=ja\nCOM-Port=" +
                  sim.terminalPath().toUtf8() + '\n');
    QDir(dir.path()).mkpath(QStringLiteral("data/vandrix/labelfiles_de"));
    writeFile(QStringLiteral("data/vandrix/labelfiles_de/036906034AM.ini"),
              "[Groups]\nG1.1=Eigene Drehzahl\n");

    prompts.expectMessage(QStringLiteral("Log-Datei wird geschrieben"));
    TForm1& w = startInstalled();
    EXPECT_EQ(w.CurrentPort(), sim.terminalPath());
    chooseUnit(1);
    QString name;
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.CheckBox1->setChecked(true);
         }},
        {"group 1 named", [&] { return w.GroupNameLabels[0][0]->text() != QStringLiteral("-"); },
         [&] { name = w.GroupNameLabels[0][0]->text(); }},
    });
    EXPECT_EQ(name, QStringLiteral("Eigene Drehzahl"));

    w.FormClose();
    QFile trace(dir.filePath(QStringLiteral("data/vandrix/debug.txt")));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    EXPECT_TRUE(trace.readAll().contains("ECU Adresse;1;01"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("prefix/bin/debug.txt"))));
    // A port that is already the configured one is not written again.
    EXPECT_EQ(configuredPort(userConfig()), sim.terminalPath());
}
