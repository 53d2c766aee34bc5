// The view's own behaviour: control unit choice, page changes, status panel
// colours, the fault grid's wheel, the readiness lines, focus moves of the
// number fields, Print, Esc and the error box of last resort.
#include "support/ui/window_fixture.h"
#include "ui/application.h"
#include "ui/form_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>
#include <QWheelEvent>
#include <QtTest/QTest>
#include <stdexcept>

namespace {

void choose(TForm1& f, int index) {
    f.ComboBox2->setCurrentIndex(index);
    emit f.ComboBox2->activated(index);
}

int airbagIndex(TForm1& f) {
    for (int i = 0; i < f.ComboBox2->count(); ++i)
        if (f.ComboBox2->itemText(i).startsWith(QLatin1String("021 ")))
            return i;
    return -1;
}

bool anyPixel(const QImage& image, const QRect& area, const std::function<bool(QColor)>& test) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixelColor(x, y)))
                return true;
    return false;
}

} // namespace

class ViewTest : public WindowTest {
protected:
    TForm1& shownWindow() {
        writeIni("[Config]\nSplash=nein\n");
        TForm1& f = makeWindow();
        showWindow(f);
        return f;
    }
    // As a session leaves the pages: all of them usable.
    void enableAllPages(TForm1& f) {
        for (int i = 0; i < f.PageControl1->pageCount(); ++i)
            f.PageControl1->page(i)->setEnabled(true);
    }
};

TEST_F(ViewTest, ChoosingAControlUnitShowsItsDisabledPages) {
    TForm1& f = shownWindow();
    f.PageControl1->setActivePage(f.TabSheet3);
    choose(f, 2);
    EXPECT_TRUE(f.PageControl1->isVisible());
    EXPECT_FALSE(f.PageControl2->isVisible());
    EXPECT_TRUE(f.BitBtn3->isEnabled());
    EXPECT_FALSE(f.BitBtn6->isEnabled());
    EXPECT_EQ(f.PageControl1->activePage(), f.TabSheet1);
    for (int i = 0; i < 12; ++i)
        EXPECT_FALSE(f.PageControl1->page(i)->pageEnabled()) << i;
}

TEST_F(ViewTest, SearchEntryThenNothingKeepsTheSearchPage) {
    TForm1& f = shownWindow();
    choose(f, 1);
    EXPECT_TRUE(f.PageControl2->isVisible());
    EXPECT_FALSE(f.PageControl1->isVisible());
    EXPECT_TRUE(f.BitBtn3->isEnabled());
    choose(f, 0);
    EXPECT_TRUE(f.PageControl2->isVisible());
    EXPECT_FALSE(f.PageControl1->isVisible());
    EXPECT_FALSE(f.BitBtn3->isEnabled());
}

TEST_F(ViewTest, AirbagUnitNeedsTheConfirmation) {
    TForm1& f = shownWindow();
    const int airbag = airbagIndex(f);
    ASSERT_GT(airbag, 1);
    for (int refusal : {2, 3}) {
        prompts.expectConfirm(2, refusal);
        choose(f, airbag);
        EXPECT_EQ(f.ComboBox2->currentIndex(), 0);
        EXPECT_FALSE(f.BitBtn3->isEnabled());
        EXPECT_FALSE(f.BitBtn6->isEnabled());
        EXPECT_FALSE(f.PageControl1->isVisible());
    }
    prompts.expectConfirm(2, 1);
    choose(f, airbag);
    EXPECT_EQ(f.ComboBox2->currentIndex(), airbag);
    EXPECT_TRUE(f.BitBtn3->isEnabled());
    EXPECT_TRUE(f.PageControl1->isVisible());
}

TEST_F(ViewTest, ClickOnADisabledTabReturnsToInfoAndStopsTheLog) {
    TForm1& f = shownWindow();
    choose(f, 2);
    enableAllPages(f);
    f.state.LogFileChosen = true;
    f.PageControl1->selectTabByUser(1); // Group
    EXPECT_TRUE(f.BitBtn5->isEnabled());
    EXPECT_TRUE(f.CheckBox7->isEnabled());
    f.CheckBox7->setChecked(true);
    f.state.LoggingActive = true;
    f.state.LogToggled = true;

    f.TabSheet5->setEnabled(false);
    QTest::mouseClick(f.PageControl1, Qt::LeftButton, {}, f.PageControl1->tabRect(2).center());
    EXPECT_EQ(f.PageControl1->activePage(), f.TabSheet1);
    EXPECT_FALSE(f.CheckBox7->isChecked());
    EXPECT_FALSE(f.CheckBox7->isEnabled());
    EXPECT_FALSE(f.BitBtn5->isEnabled());
    EXPECT_FALSE(f.state.LoggingActive);
    EXPECT_FALSE(f.state.LogToggled);

    // Raw data without a chosen log file: the file button only.
    f.state.LogFileChosen = false;
    f.TabSheet5->setEnabled(true);
    QTest::mouseClick(f.PageControl1, Qt::LeftButton, {}, f.PageControl1->tabRect(2).center());
    EXPECT_EQ(f.PageControl1->activePage(), f.TabSheet5);
    EXPECT_TRUE(f.BitBtn5->isEnabled());
    EXPECT_FALSE(f.CheckBox7->isEnabled());
}

TEST_F(ViewTest, TabAcceleratorSelectsThePage) {
    TForm1& f = shownWindow();
    choose(f, 2);
    enableAllPages(f);
    QApplication::setActiveWindow(&f);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    QTest::keyClick(&f, Qt::Key_F, Qt::AltModifier); // "&Fehlercodes"
    EXPECT_EQ(f.PageControl1->activePage(), f.TabSheet3);
}

TEST_F(ViewTest, TabsWrapIntoRowsThatFitThePage) {
    TForm1& f = shownWindow();
    choose(f, 2);
    EXPECT_GE(f.PageControl1->rowCount(), 2);
    for (int i = 0; i < 12; ++i) {
        const QRect r = f.PageControl1->tabRect(i);
        EXPECT_GE(r.left(), 0) << i;
        EXPECT_LE(r.right(), f.PageControl1->width()) << i;
    }
    // The Group page's lowest box still fits above the page's bottom edge.
    const QPoint bottom = f.Label55->mapTo(f.PageControl1, QPoint(0, f.Label55->height()));
    EXPECT_LE(bottom.y(), f.PageControl1->height() - 4);
}

TEST_F(ViewTest, StatusPanelColours) {
    TForm1& f = shownWindow();
    const struct {
        ConnectionState state;
        QColor background;
        bool whiteText;
    } cases[] = {
        {ConnectionState::NotConnected, QColor(128, 0, 0), true},
        {ConnectionState::Connecting, QColor(255, 255, 0), false},
        {ConnectionState::Connected, QColor(192, 220, 192), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.state));
        f.state.ConnectionState = c.state;
        const QImage image = f.StatusBar1->grab().toImage();
        const QRect panel0 = f.StatusBar1->panelRect(0);
        EXPECT_EQ(image.pixelColor(panel0.left() + 2, panel0.top() + 1), c.background);
        const bool white = anyPixel(image, panel0, [](QColor p) {
            return p.red() > 240 && p.green() > 240 && p.blue() > 240;
        });
        const bool dark = anyPixel(image, panel0, [](QColor p) {
            return p.red() < 60 && p.green() < 60 && p.blue() < 60;
        });
        EXPECT_EQ(white, c.whiteText);
        EXPECT_EQ(dark, !c.whiteText);
    }

    auto redText = [&] {
        const QImage image = f.StatusBar1->grab().toImage();
        return anyPixel(image, f.StatusBar1->panelRect(1),
                        [](QColor p) { return p.red() > 200 && p.green() < 90 && p.blue() < 90; });
    };
    f.StatusBar1->setPanelText(1, QStringLiteral("9600 Baud"));
    f.state.FixedBaudMarked = 1;
    EXPECT_TRUE(redText());
    f.state.FixedBaudMarked = 0;
    EXPECT_FALSE(redText());
}

TEST_F(ViewTest, StatusPanelsShowTheirWholeText) {
    TForm1& f = shownWindow();
    f.state.ConnectionState = ConnectionState::Connecting; // dark text on yellow
    const struct {
        int panel;
        const char* text;
    } cases[] = {{6, "DTCs: Codes + Status"},
                 {0, "Steuergerät 05 antwortet nicht"},
                 {0, "Steuergerät 05 antwortet nicht (DATA ERROR)"},
                 {0, "Control unit 04 does not answer (ERROR)"},
                 {6, "Fehlertexte: Codes + Status"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        f.StatusBar1->setPanelText(c.panel, QString::fromUtf8(c.text));
        const QImage image = f.StatusBar1->grab().toImage();
        const QRect r = f.StatusBar1->panelRect(c.panel);
        int first = r.right() + 1, last = r.left() - 1;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor p = image.pixelColor(x, y);
                if (p.red() < 100 && p.green() < 100 && p.blue() < 100) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
            }
        ASSERT_LE(first, last) << "no text drawn";
        // A text cut by its panel runs into both edges.
        EXPECT_GT(first, r.left() + 1);
        EXPECT_LT(last, r.right() - 1);
        // At the bar's own size, not shrunk to fit the panel's set width.
        const int fullWidth =
            QFontMetrics(f.StatusBar1->font()).horizontalAdvance(QString::fromUtf8(c.text));
        EXPECT_GE(last - first + 3, fullWidth);
        // The tool tip shows it too.
        QHelpEvent hover(QEvent::ToolTip, r.center(), f.StatusBar1->mapToGlobal(r.center()));
        QCoreApplication::sendEvent(f.StatusBar1, &hover);
        EXPECT_EQ(QToolTip::text(), QString::fromUtf8(c.text));
    }
}

TEST(StatusPanelText, CentredWithHalvesToEven) {
    const struct {
        int left, width, text, shift, x;
    } cases[] = {
        {1, 130, 130, 0, 1},    // as wide as the panel: its left edge
        {132, 75, 75, -2, 130}, // panel 1: two pixels left of it
        {0, 130, 127, 0, 2},    // 1.5 -> 2
        {0, 130, 125, 0, 2},    // 2.5 -> 2
        {0, 75, 70, -2, 0},     // 2.5 -> 2, shifted
        {0, 130, 140, 0, -5},   // wider than the panel
    };
    for (const auto& c : cases)
        EXPECT_EQ(StatusPanelTextX(c.left, c.width, c.text, c.shift), c.x)
            << c.width << " " << c.text;
}

TEST_F(ViewTest, MouseWheelOverTheFaultListJumpsToItsFirstRow) {
    TForm1& f = shownWindow();
    choose(f, 2);
    enableAllPages(f);
    f.PageControl1->setActivePage(f.TabSheet3);
    f.StringGrid1->setRowCount(21);
    for (int r = 1; r < 21; ++r)
        f.StringGrid1->setCell(2, r, QStringLiteral("Fehler %1").arg(r));
    for (int direction : {-120, 120}) {
        f.StringGrid1->setTopRow(12);
        ASSERT_EQ(f.StringGrid1->topRow(), 12);
        QWheelEvent wheel(QPointF(50, 50), f.StringGrid1->viewport()->mapToGlobal(QPointF(50, 50)),
                          QPoint(), QPoint(0, direction), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.StringGrid1->viewport(), &wheel);
        EXPECT_EQ(f.StringGrid1->topRow(), 1) << direction;
    }
    // No cell can be selected.
    QTest::mouseClick(f.StringGrid1->viewport(), Qt::LeftButton, {}, QPoint(200, 30));
    EXPECT_EQ(f.StringGrid1->selectedRow(), -1);
}

TEST_F(ViewTest, ReadinessLinesJoinEachDigitToItsRow) {
    TForm1& f = shownWindow();
    choose(f, 2);
    enableAllPages(f);
    f.PageControl1->setActivePage(f.TabSheet6);
    const QImage image = f.PaintBox1->grab().toImage();
    auto black = [&](int x, int y) { return image.pixelColor(x, y) == QColor(Qt::black); };
    EXPECT_TRUE(black(44, 150));  // leftmost digit goes down ...
    EXPECT_TRUE(black(200, 250)); // ... to the bottom row
    EXPECT_TRUE(black(212, 70));  // rightmost digit ...
    EXPECT_TRUE(black(240, 82));  // ... to the top row
    EXPECT_FALSE(black(45, 150));
    EXPECT_FALSE(black(44, 252));
}

TEST_F(ViewTest, NumberFieldsHandTheFocusToTheirSpinButtons) {
    TForm1& f = shownWindow();
    choose(f, 2);
    enableAllPages(f);
    const struct {
        QLineEdit* edit;
        TUpDown* target;
        TTabSheet* page;
    } enters[] = {
        {f.Edit2, f.UpDown2, f.TabSheet2},
        {f.Edit5, f.UpDown2, f.TabSheet2},
        {f.Edit8, f.UpDown5, f.TabSheet8},
        {f.Edit11, f.UpDown7, f.TabSheet11},
    };
    for (const auto& e : enters) {
        SCOPED_TRACE(e.edit->objectName().toStdString());
        f.PageControl1->setActivePage(e.page);
        e.edit->setFocus();
        e.edit->setText(QStringLiteral("12"));
        QTest::keyClick(e.edit, Qt::Key_Return);
        EXPECT_EQ(f.focusWidget(), e.target);
        EXPECT_EQ(e.edit->text(), QStringLiteral("12"));
    }
    // Other fields keep Enter to themselves.
    f.PageControl1->setActivePage(f.TabSheet9);
    f.Edit1->setFocus();
    QTest::keyClick(f.Edit1, Qt::Key_Return);
    EXPECT_EQ(f.focusWidget(), f.Edit1);

    // A spin button click moves the focus, and steps from the typed number.
    f.PageControl1->setActivePage(f.TabSheet2);
    f.Edit4->setFocus();
    f.Edit4->setText(QStringLiteral("7"));
    QTest::mouseClick(f.UpDown3, Qt::LeftButton, {}, QPoint(7, 3));
    EXPECT_EQ(f.focusWidget(), f.UpDown2);
    EXPECT_EQ(f.Edit4->text(), QStringLiteral("8"));
    f.Edit3->setText(QStringLiteral("255"));
    QTest::mouseClick(f.UpDown1, Qt::LeftButton, {}, QPoint(7, 3));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("255")); // stays in range
    f.PageControl1->setActivePage(f.TabSheet11);
    QTest::mouseClick(f.UpDown7, Qt::LeftButton, {}, QPoint(7, 18));
    EXPECT_EQ(f.focusWidget(), f.UpDown7);
}

TEST_F(ViewTest, EscPressesTheCopyButtonOfTheVisiblePage) {
    TForm1& f = shownWindow();
    choose(f, 2);
    int copies = 0;
    QPushButton* pressed = nullptr;
    for (QPushButton* b : f.CopyButtons)
        QObject::connect(b, &QPushButton::clicked, [&, b] {
            ++copies;
            pressed = b;
        });
    QApplication::setActiveWindow(&f);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));

    // The Info page's copy button is disabled until a session: nothing.
    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_EQ(copies, 0);

    enableAllPages(f);
    f.PageControl1->setActivePage(f.TabSheet3);
    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_EQ(pressed, f.BitBtn9);
    QTest::keyClick(&f, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(copies, 1);

    f.PageControl1->setActivePage(f.TabSheet12);
    f.BitBtn14->hide();
    f.BitBtn16->show();
    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_EQ(pressed, f.BitBtn16);

    f.PageControl1->setActivePage(f.TabSheet9); // no copy button
    copies = 0;
    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_EQ(copies, 0);
}

TEST_F(ViewTest, HelpAndDeferredPrint) {
    TForm1& f = shownWindow();
    prompts.expectAbout();
    f.BitBtn1->click();

    f.state.SessionRunning = true; // a session runs: the loop prints
    f.state.StopRequested = false;
    f.BitBtn6->setEnabled(true);
    f.BitBtn6->click();
    EXPECT_TRUE(f.state.PrintRequested);
    f.state.PrintRequested = false;
    f.state.StopRequested = true; // after a Disconnect: at once, not queued
    prompts.expectPrint(false);
    f.BitBtn6->click();
    EXPECT_FALSE(f.state.PrintRequested);
    f.state.SessionRunning = false; // no session at all: at once too
    f.state.StopRequested = false;
    prompts.expectPrint(false);
    f.BitBtn6->click();
    EXPECT_FALSE(f.state.PrintRequested);
}

TEST(UncaughtError, MessageGetsItsFullStop) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"DATA ERROR", "DATA ERROR."}, {"done.", "done."}, {"a-", "a-"}, {"", ""},
        {"path/", "path/."},           {"x ", "x "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UncaughtErrorText(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST_F(ViewTest, ErrorsThatEscapeAHandlerAreShownAndTheProgramGoesOn) {
    TForm1& f = shownWindow();
    prompts.expectMessage(QStringLiteral("'x1' is not a valid integer value."),
                          QStringLiteral("Vandrix"), PromptIcon::Error);
    f.Guarded([] { throw std::runtime_error("'x1' is not a valid integer value"); });

    // An error of a handler that runs while the box is open gets no second box.
    prompts.expectMessage(QStringLiteral("first."), QStringLiteral("Vandrix")).during([&] {
        f.Guarded([] { throw std::out_of_range("second"); });
    });
    f.Guarded([] { throw std::logic_error("first"); });

    // The application's own net for event handlers outside the window's.
    class Thrower : public QObject {
    protected:
        bool event(QEvent* e) override {
            if (e->type() == QEvent::User)
                throw std::runtime_error("Kommunikationsfehler");
            return QObject::event(e);
        }
    } thrower;
    auto& app = static_cast<VandrixApplication&>(UiTestApp());
    app.setPrompts(&prompts);
    prompts.expectMessage(QStringLiteral("Kommunikationsfehler."), QStringLiteral("Vandrix"));
    QEvent event(QEvent::User);
    QApplication::sendEvent(&thrower, &event);
    app.setPrompts(nullptr);
    EXPECT_TRUE(f.isVisible());
}
