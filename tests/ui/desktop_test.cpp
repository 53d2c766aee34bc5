// The window as a Linux desktop program: the port list read afresh when it
// opens, the start-up hint for an adapter the user may not open, and Qt's
// own dialogs in the chosen language.
#include "link/port_factory.h"
#include "link/port_list.h"
#include "reports/link_texts.h"
#include "support/ui/window_fixture.h"
#include "ui/application.h"
#include "ui/form_widgets.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <grp.h>
#include <unistd.h>

namespace {
void touch(const QString& path, const QByteArray& text = {}) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}
} // namespace

class DesktopTest : public WindowTest {
protected:
    QString fake(const QString& path) const { return dir.filePath("fake/" + path); }

    // A USB adapter in the fake tree: /dev node, sysfs device, udev's link.
    QString plugAdapter(const QString& name, const QByteArray& serial) {
        const QString usb = fake("sys/devices/usb1/1-" + serial);
        touch(usb + "/idVendor", "0403\n");
        touch(usb + "/product", "K-Line Adapter\n");
        touch(usb + "/serial", serial + "\n");
        QDir().mkpath(usb + "/1-1:1.0/" + name);
        QDir().mkpath(fake("sys/class/tty/" + name));
        QFile::link(usb + "/1-1:1.0/" + name, fake("sys/class/tty/" + name + "/device"));
        touch(fake("dev/" + name));
        QDir().mkpath(fake("dev/serial/by-id"));
        const QString stable = fake("dev/serial/by-id/usb-" + serial + "-if00-port0");
        QFile::link("../../" + name, stable);
        return stable;
    }

    void unplug(const QString& name, const QString& stable) {
        QFile::remove(stable);
        QFile::remove(fake("dev/" + name));
        QDir(fake("sys/class/tty/" + name)).removeRecursively();
    }

    QStringList portPaths(const TForm1& f) {
        QStringList paths;
        for (int i = 0; i < f.ComboBox1->count(); ++i)
            paths << f.ComboBox1->itemData(i).toString();
        return paths;
    }
};

TEST_F(DesktopTest, ThePortListIsReadAgainEachTimeItOpens) {
    writeIni("[Config]\nSplash=nein\n");
    TForm1& f = makeWindow();
    showWindow(f);
    ASSERT_EQ(portPaths(f), DemoEntryNames(0));

    // Plugged in after start: there the next time the list opens; the choice
    // the user made stays.
    const QString stable = plugAdapter("ttyUSB0", "VX01");
    f.ComboBox1->showPopup();
    EXPECT_EQ(portPaths(f), (QStringList{stable} + DemoEntryNames(0)));
    EXPECT_EQ(f.CurrentPort(), DemoInterfaceName(0));
    EXPECT_TRUE(f.ComboBox1->itemText(0).contains("K-Line Adapter, Seriennr. VX01"));
    f.ComboBox1->hidePopup();

    f.ComboBox1->setCurrentIndex(0);
    EXPECT_EQ(f.ComboBox1->toolTip(), f.ComboBox1->itemText(0));
    const QString second = plugAdapter("ttyUSB1", "VX02");
    f.ComboBox1->showPopup();
    EXPECT_EQ(portPaths(f), (QStringList{stable, second} + DemoEntryNames(0)));
    EXPECT_EQ(f.CurrentPort(), stable);
    f.ComboBox1->hidePopup();

    // Pulled out: gone, and the first entry is chosen.
    unplug("ttyUSB0", stable);
    f.ComboBox1->showPopup();
    EXPECT_EQ(portPaths(f), (QStringList{second} + DemoEntryNames(0)));
    EXPECT_EQ(f.CurrentPort(), second);
    f.ComboBox1->hidePopup();
}

TEST_F(DesktopTest, AnAdapterTheUserMayNotOpenIsNamedAtStartWithTheGroupToJoin) {
    const QString stable = plugAdapter("ttyUSB0", "VX01");
    // A group of the system's, when the test may give the node to it.
    QString group = DeviceOwnerGroup(fake("dev/ttyUSB0"));
    if (const struct group* dialout = getgrnam("dialout"))
        if (::chown(QFile::encodeName(fake("dev/ttyUSB0")).constData(), -1, dialout->gr_gid) == 0)
            group = QStringLiteral("dialout");

    for (const char* lang : {"de", "en"}) {
        SCOPED_TRACE(lang);
        writeIni(QByteArray("[Config]\nSplash=nein\nSprache=") + lang + "\n");
        const int offset = QByteArray(lang) == "en" ? 10000 : 0;
        const QString hint = PortPermissionHint(stable, group, offset);
        if (group != QStringLiteral("root")) {
            EXPECT_TRUE(hint.contains("sudo usermod -aG " + group + " $USER"));
            EXPECT_TRUE(hint.contains("\"" + group + "\""));
        }
        prompts.expectMessage(hint, QString(), PromptIcon::Warning);
        TForm1Options options;
        options.programDir = dir.path();
        options.portRoots = {fake("dev"), fake("sys")};
        options.mayOpenDevice = [&](const QString& device) {
            return device != fake("dev/ttyUSB0");
        };
        window = std::make_unique<TForm1>(prompts, options);
        showWindow(*window);
        prompts.verifyDone();
        window.reset();
    }

    // Allowed: nothing is said.
    TForm1& f = makeWindow();
    showWindow(f);
    EXPECT_TRUE(f.PortPermissionWarning().isEmpty());
}

TEST_F(DesktopTest, QtsOwnDialogsSpeakTheChosenLanguage) {
    const auto cancelText = [] {
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        return box.button(QDialogButtonBox::Cancel)->text() + "|" +
               box.button(QDialogButtonBox::Save)->text();
    };
    struct Case {
        const char* ini;
        const char* buttons;
    } cases[] = {
        {"[Config]\nSplash=nein\nSprache=de\n", "Abbrechen|Speichern"},
        {"[Config]\nSplash=nein\nSprache=en\n", "Cancel|Save"},
        {nullptr, "Abbrechen|Speichern"}, // no configuration: German
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.buttons);
        if (c.ini)
            writeIni(c.ini);
        else
            QFile::remove(dir.filePath("vandrix.ini"));
        makeWindow();
        EXPECT_EQ(cancelText(), QString::fromUtf8(c.buttons));
        window.reset();
    }
}

TEST_F(DesktopTest, EveryWindowShowsTheProgramsIcon) {
    TForm1& f = makeWindow();
    showWindow(f);
    EXPECT_FALSE(f.windowIcon().isNull());
    EXPECT_EQ(f.windowIcon().availableSizes(), QList<QSize>{QSize(128, 128)});
}

TEST_F(DesktopTest, TheClosedPortBoxShowsTheAdaptersNameFirst) {
    writeIni("[Config]\nSplash=nein\n");
    const QString stable = plugAdapter("ttyUSB0", "VX01");
    TForm1& f = makeWindow();
    showWindow(f);
    auto* box = qobject_cast<TComboBox*>(f.ComboBox1);
    ASSERT_NE(box, nullptr);
    f.ComboBox1->setCurrentIndex(0);
    ASSERT_EQ(f.CurrentPort(), stable);
    // The name in the closed box, the path first in the list and the tool tip.
    EXPECT_EQ(box->closedText(), "K-Line Adapter");
    EXPECT_TRUE(f.ComboBox1->itemText(0).startsWith(stable));
    EXPECT_TRUE(f.ComboBox1->toolTip().startsWith(stable));
    EXPECT_TRUE(f.ComboBox1->toolTip().contains("K-Line Adapter"));
    // Drawn so: the same picture as a box whose only entry is that name, cut
    // at its end where it is too long.
    TComboBox reference(f.ComboBox1->parentWidget());
    reference.setGeometry(f.ComboBox1->geometry().translated(0, 40));
    reference.setFont(f.ComboBox1->font());
    reference.addItem(box->closedText());
    reference.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(f.ComboBox1->grab().toImage(), reference.grab().toImage());

    // The demo entry keeps its own text; a port without an adapter is named
    // as under /dev.
    f.ComboBox1->setCurrentIndex(1);
    EXPECT_TRUE(IsDemoInterfaceName(box->closedText()));
    PortEntry serial;
    serial.path = serial.device = "/dev/ttyS0";
    EXPECT_EQ(PortShortName(serial), "ttyS0");
    serial.path = "/dev/pts/3";
    serial.device.clear();
    EXPECT_EQ(PortShortName(serial), "pts/3");
}
