// The window and its dialogs at 200 % display scaling (QT_SCALE_FACTOR=2, set
// for this test): every text the program puts in a control fits it whole,
// and the pictures are kept for a person to look at ($VANDRIX_SCREENSHOTS, or
// vandrix-screenshots-x2 in the temp folder).
#include "support/ui/window_fixture.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTimer>

namespace {

QString screenshotDir() {
    QString path = qEnvironmentVariable("VANDRIX_SCREENSHOTS");
    if (path.isEmpty())
        path = QDir::temp().filePath(QStringLiteral("vandrix-screenshots-x2"));
    QDir().mkpath(path);
    return path;
}

void save(QWidget& widget, const QString& name) {
    const QPixmap picture = widget.grab();
    EXPECT_EQ(picture.devicePixelRatio(), 2.0) << name.toStdString();
    EXPECT_TRUE(picture.save(QDir(screenshotDir()).filePath(name + QStringLiteral(".png"))));
}

QString withoutMnemonic(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

// "name: text ..." for every text of root's visible controls that its space
// cuts, one per line.
std::string clippedTexts(QWidget* root) {
    QStringList clipped;
    const auto check = [&](const QWidget* w, const QString& text, const QSize& need,
                           const QRect& room) {
        if (need.width() > room.width() || need.height() > room.height())
            clipped << QStringLiteral("%1: \"%2\" needs %3x%4, has %5x%6")
                           .arg(w->objectName(), text)
                           .arg(need.width())
                           .arg(need.height())
                           .arg(room.width())
                           .arg(room.height());
    };
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (!w->isVisibleTo(root) || w->width() == 0)
            continue;
        const QFontMetrics fm = w->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->text().isEmpty() || label->textFormat() == Qt::RichText)
                continue;
            const QRect room = label->contentsRect();
            const int flags = int(label->alignment()) | Qt::TextShowMnemonic |
                              (label->wordWrap() ? Qt::TextWordWrap : 0);
            QSize need = fm.boundingRect(room, flags, label->text()).size();
            // One line needs the height of its ink, not of the font's line:
            // a lone check mark in a low label is whole.
            if (!label->wordWrap() && !label->text().contains(QLatin1Char('\n')))
                need.setHeight(fm.tightBoundingRect(label->text()).height());
            check(w, label->text(), need, room);
        } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
            if (box->text().isEmpty())
                continue;
            QStyleOptionButton option;
            option.initFrom(box);
            option.text = box->text();
            const QRect room =
                box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
            check(w, box->text(), fm.size(Qt::TextShowMnemonic, box->text()), room);
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            if (button->text().isEmpty())
                continue;
            QStyleOptionButton option;
            option.initFrom(button);
            const QRect room =
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            QSize need = fm.size(Qt::TextShowMnemonic, button->text());
            if (!button->icon().isNull())
                need.rwidth() += button->iconSize().width() + 4;
            check(w, button->text(), need, room);
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            if (group->title().isEmpty())
                continue;
            QStyleOptionGroupBox option;
            option.initFrom(group);
            option.text = group->title();
            option.subControls = QStyle::SC_GroupBoxLabel;
            const QRect label = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                               QStyle::SC_GroupBoxLabel, group);
            // The style makes the title's room from the text; the box's own
            // width is what can cut it.
            check(w, group->title(), label.size(), label.intersected(group->rect()));
        } else if (auto* pages = qobject_cast<TPageControl*>(w)) {
            const QFontMetrics tabs(pages->tabFont());
            for (int i = 0; i < pages->pageCount(); ++i) {
                const QString caption = withoutMnemonic(pages->page(i)->caption());
                check(pages->page(i), caption, tabs.size(0, caption), pages->tabRect(i));
            }
        } else if (auto* status = qobject_cast<TStatusBar*>(w)) {
            for (int i = 0; i < status->panelCount(); ++i)
                if (!status->panel(i).ownerDraw && !status->panelText(i).isEmpty())
                    check(w, status->panelText(i), fm.size(0, status->panelText(i)),
                          status->panelRect(i));
        }
    }
    return clipped.join(QLatin1Char('\n')).toStdString();
}

} // namespace

class HighDpiTest : public WindowTest {
protected:
    static void SetUpTestSuite() {
        // Run by hand without the test's environment: scale all the same.
        if (!QCoreApplication::instance() && qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR"))
            qputenv("QT_SCALE_FACTOR", "2");
    }
};

TEST_F(HighDpiTest, MainWindowShowsWholeTextsOnEveryPage) {
    ASSERT_EQ(qApp->devicePixelRatio(), 2.0);
    for (const char* lang : {"de", "en"}) {
        SCOPED_TRACE(lang);
        writeIni(QByteArray("[Config]\nSplash=nein\nBaud=9600\nU2=5.0\nTV1=2\nSprache=") + lang +
                 "\n");
        TForm1& f = makeWindow();
        showWindow(f);
        const QString prefix = QStringLiteral("x2_main_") + QLatin1String(lang);
        EXPECT_EQ(clippedTexts(&f), "") << "start";
        save(f, prefix + QStringLiteral("_start"));

        // Every page as a connected session shows it.
        f.ComboBox2->setCurrentIndex(2);
        emit f.ComboBox2->activated(2);
        for (int i = 0; i < f.PageControl1->pageCount(); ++i)
            f.PageControl1->page(i)->setEnabled(true);
        f.BitBtn3->hide();
        f.BitBtn2->show();
        for (int i = 0; i < f.PageControl1->pageCount(); ++i) {
            f.PageControl1->setActivePageIndex(i);
            const QString page = f.PageControl1->page(i)->objectName();
            EXPECT_EQ(clippedTexts(&f), "") << page.toStdString();
            save(f, prefix + QStringLiteral("_page%1_").arg(i, 2, 10, QLatin1Char('0')) + page);
        }
        f.ComboBox2->setCurrentIndex(1);
        emit f.ComboBox2->activated(1);
        EXPECT_EQ(clippedTexts(&f), "") << "search";
        save(f, prefix + QStringLiteral("_search"));
        window.reset();
    }
}

TEST_F(HighDpiTest, DialogsShowWholeTexts) {
    TForm2 about;
    EXPECT_EQ(clippedTexts(&about), "");
    save(about, QStringLiteral("x2_form2_about"));
    TForm3 banner;
    save(banner, QStringLiteral("x2_form3_banner"));
    for (int lang : {0, 10000}) {
        for (int tag : {1, 2, 3}) {
            TForm4 confirm(lang);
            confirm.Tag = tag;
            std::string clipped;
            QTimer::singleShot(0, &confirm, [&] {
                clipped = clippedTexts(&confirm);
                save(confirm, QStringLiteral("x2_form4_tag%1_%2").arg(tag).arg(lang ? "en" : "de"));
                confirm.BitBtn1->click();
            });
            confirm.ShowModal();
            EXPECT_EQ(clipped, "") << "tag " << tag << " language " << lang;
        }
    }
}

TEST_F(HighDpiTest, TheCheckSeesACutText) {
    QWidget form;
    auto* label = new QLabel(QStringLiteral("Kühlmitteltemperatur"), &form);
    label->setObjectName(QStringLiteral("narrow"));
    label->setGeometry(0, 0, 40, 20);
    auto* box = new QCheckBox(QStringLiteral("Protokoll"), &form);
    box->setObjectName(QStringLiteral("box"));
    box->setGeometry(0, 30, 30, 17);
    auto* fits = new QLabel(QStringLiteral("ok"), &form);
    fits->setGeometry(0, 60, 100, 20);
    const std::string clipped = clippedTexts(&form);
    EXPECT_NE(clipped.find("narrow"), std::string::npos) << clipped;
    EXPECT_NE(clipped.find("box"), std::string::npos) << clipped;
    EXPECT_EQ(clipped.find("\"ok\""), std::string::npos) << clipped;
}
