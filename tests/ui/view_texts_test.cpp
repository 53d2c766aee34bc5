// Texts of the window as a user reads them: a measuring name wider than its
// cell, and the log file dialog's filter in the chosen language.
#include "support/ui/window_fixture.h"
#include "ui/form_widgets.h"

namespace {

// The columns of a label's picture that hold ink of its text.
std::pair<int, int> InkColumns(TLabel& label) {
    const QImage image = label.grab().toImage();
    int first = image.width(), last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() + c.green() + c.blue() < 3 * 110) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
    return {first, last};
}

} // namespace

class ViewTextsTest : public WindowTest {};

TEST_F(ViewTextsTest, AMeasuringNameWiderThanItsCellShrinksOrEndsInDotsNeverCutAtBothEnds) {
    writeIni("[Config]\nSplash=nein\n");
    TForm1& f = makeWindow();
    showWindow(f);
    TLabel& label = *f.GroupNameLabels[0][0];
    f.PageControl1->show();
    f.PageControl1->setActivePage(f.TabSheet2);
    label.setEnabled(true);
    const int full = label.font().pixelSize();
    const QString veryLong = "Abgasrückführungsventilstellungsrückmeldungsspannungsabweichung "
                             "Sollwertüberschreitungszähler";
    const struct {
        QString name;
        bool smaller; // drawn in a smaller font
        bool cut;     // ends in "…", the whole name in the tool tip
    } cases[] = {
        {"Motordrehzahl", false, false},
        {"Grundeinstellungsbedingungen", true, false},
        {veryLong, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        label.setText(c.name);
        EXPECT_EQ(label.text(), c.name); // copies, logs and the graph take the whole name
        EXPECT_EQ(label.shownFont().pixelSize() < full, c.smaller);
        EXPECT_GE(label.shownFont().pixelSize(), int(full * TLabel::MinFitFraction));
        if (c.cut) {
            EXPECT_TRUE(label.shownText().endsWith(QChar(0x2026)));
            EXPECT_TRUE(c.name.startsWith(label.shownText().chopped(1)));
            EXPECT_EQ(label.toolTip(), c.name);
        } else {
            EXPECT_EQ(label.shownText(), c.name);
            EXPECT_EQ(label.toolTip(), QString());
        }
        // The text lies within the cell: blank on both sides.
        const auto [first, last] = InkColumns(label);
        ASSERT_LE(first, last);
        EXPECT_GT(first, 0);
        EXPECT_LT(last, label.width() - 1);
    }
}

TEST_F(ViewTextsTest, TheLogFileDialogFiltersInTheChosenLanguage) {
    for (const char* lang : {"de", "en"}) {
        writeIni(QByteArray("[Config]\nSplash=nein\nSprache=") + lang + "\n");
        TForm1& f = makeWindow();
        EXPECT_EQ(f.SaveDialog1.filter, QByteArray(lang) == "de"
                                            ? "CSV-Datei (*.csv)"
                                            : "Comma Separated Values (*.csv)");
    }
}
