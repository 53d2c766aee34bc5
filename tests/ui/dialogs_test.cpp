// The About, banner and confirmation windows, driven as a user would while
// they run modally.
#include "support/ui/scripted_prompts.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/web_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Shows the dialog modally and acts on it once it runs.
int runModal(TForm4& dialog, std::function<void()> act) {
    QTimer::singleShot(0, &dialog, [act] { act(); });
    return dialog.ShowModal();
}

void pressEnter(QDialog& dialog) {
    QWidget* target = dialog.focusWidget() ? dialog.focusWidget() : &dialog;
    QTest::keyClick(target, Qt::Key_Return);
}

} // namespace

class DialogsTest : public ::testing::Test {
protected:
    DialogsTest() { UiTestApp(); }
    ~DialogsTest() override { SetWebPageOpener(nullptr); }
};

TEST_F(DialogsTest, ConfirmationResults) {
    TForm4 dialog(0);
    dialog.Tag = 1;
    enum Action { Ok, Cancel, Close, Enter, Escape };
    const struct {
        const char* name;
        bool tick;
        Action action;
        int result;
    } cases[] = {
        {"ticked, OK", true, Ok, 1},
        {"not ticked, OK", false, Ok, 2},
        {"ticked, Abbrechen", true, Cancel, 3},
        {"closed by the title bar", true, Close, 2},
        {"Enter at once presses Abbrechen", false, Enter, 3},
        {"ticked with the mouse, then Enter", true, Enter, 3},
        {"Esc is Abbrechen", true, Escape, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int result = runModal(dialog, [&] {
            EXPECT_FALSE(dialog.CheckBox1->isChecked()); // unticked at every show
            EXPECT_EQ(dialog.focusWidget(), dialog.BitBtn1);
            if (c.tick)
                QTest::mouseClick(dialog.CheckBox1, Qt::LeftButton, {},
                                  QPoint(7, dialog.CheckBox1->height() / 2));
            EXPECT_EQ(dialog.CheckBox1->isChecked(), c.tick);
            switch (c.action) {
            case Ok:
                dialog.BitBtn2->click();
                break;
            case Cancel:
                dialog.BitBtn1->click();
                break;
            case Close:
                dialog.close();
                break;
            case Enter:
                pressEnter(dialog);
                break;
            case Escape:
                QTest::keyClick(&dialog, Qt::Key_Escape);
                break;
            }
        });
        EXPECT_EQ(result, c.result);
    }
}

TEST_F(DialogsTest, ConfirmationTextsByTagAndLanguage) {
    TForm4 german(0);
    german.Tag = 1;
    runModal(german, [&] { german.BitBtn1->click(); });
    EXPECT_EQ(german.windowTitle(), QStringLiteral("Fehlercodes &löschen"));
    EXPECT_EQ(german.CheckBox1->text(), QStringLiteral("Fehlercodes (DTC) wirklich löschen."));

    TForm4 english(10000);
    for (int tag : {2, 3}) {
        english.Tag = tag;
        runModal(english, [&] { english.BitBtn1->click(); });
        EXPECT_EQ(english.CheckBox1->text(), QStringLiteral("Diagnosis really accomplish"));
        EXPECT_EQ(english.BitBtn1->text(), QStringLiteral("Abbrechen"));
    }
    EXPECT_EQ(english.windowTitle(), QStringLiteral("Output Test"));
    EXPECT_TRUE(english.Label1->text().startsWith(QStringLiteral("Never run the ouput test")));
    english.Tag = 2;
    runModal(english, [&] { english.BitBtn1->click(); });
    EXPECT_EQ(english.windowTitle(), QStringLiteral("Diagnosis Airbag Unit"));
}

TEST_F(DialogsTest, AboutShowsVersionAndOpensBothLinks) {
    QStringList opened;
    SetWebPageOpener([&](const QString& url) { opened << url; });
    TForm2 about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Info"));
    EXPECT_EQ(about.Label3->text(), QStringLiteral("Version 1.41"));
    EXPECT_EQ(about.size(), QSize(331, 235));
    QTimer::singleShot(0, &about, [&] {
        QTest::mouseClick(about.Label2, Qt::LeftButton);
        QTest::mouseClick(about.Label4, Qt::LeftButton);
        EXPECT_TRUE(about.isVisible()); // the links leave it open
        about.Button1->click();
    });
    about.exec();
    EXPECT_EQ(opened, QStringList({WebLinks::InfoPage, WebLinks::ShopPage}));
}

TEST_F(DialogsTest, BannerShowsThePictureWithTheHandPointer) {
    QStringList opened;
    SetWebPageOpener([&](const QString& url) { opened << url; });
    const QImage picture = BannerPicture();
    ASSERT_FALSE(picture.isNull()) << "the JPEG decoder is missing";
    EXPECT_EQ(picture.size(), QSize(396, 50));

    TForm3 banner;
    EXPECT_EQ(banner.size(), QSize(394, 49));
    EXPECT_EQ(banner.Image1->size(), QSize(396, 50));
    QTimer::singleShot(0, &banner, [&] {
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
        QTest::mouseClick(banner.Image1, Qt::LeftButton);
        EXPECT_TRUE(banner.isVisible());
        banner.close();
    });
    banner.exec();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(opened, QStringList({WebLinks::BannerPage}));
}
