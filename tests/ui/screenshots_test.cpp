// Pictures of the main window and the dialogs, for a person to look at.
// They land in $VANDRIX_SCREENSHOTS, or vandrix-screenshots in the temp folder.
#include "support/ui/window_fixture.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <iostream>

namespace {

QString screenshotDir() {
    QString path = qEnvironmentVariable("VANDRIX_SCREENSHOTS");
    if (path.isEmpty())
        path = QDir::temp().filePath(QStringLiteral("vandrix-screenshots"));
    QDir().mkpath(path);
    return path;
}

void save(QWidget& widget, const QString& name) {
    const QString path = QDir(screenshotDir()).filePath(name + QStringLiteral(".png"));
    EXPECT_TRUE(widget.grab().save(path)) << path.toStdString();
}

// Some content, so the pages can be judged with text in their boxes.
void fillSamples(TForm1& f) {
    f.Label97->setText(QStringLiteral("001 [01] - Motor (ECU)"));
    f.Label6->setText(QStringLiteral("038906019FN"));
    f.Label7->setText(QStringLiteral("1,9l R4 EDC  G   SG  1234"));
    const char* names[4] = {"Motordrehzahl", "Kühlmitteltemperatur", "Lambdaregelung",
                            "Grundeinstellbedingungen"};
    const char* values[4] = {"850 /min", "87.0 °C", "1.2 %", "11111111"};
    for (int f2 = 0; f2 < 4; ++f2) {
        f.GroupNameLabels[0][f2]->setText(QString::fromUtf8(names[f2]));
        f.GroupValueBoxes[0][f2]->setText(QString::fromUtf8(values[f2]));
    }
    f.GroupValueBoxes[1][0]->setColor(QColor(166, 202, 240));
    f.RawGroupBoxes[0]->setTitle(QStringLiteral("Motordrehzahl"));
    f.RawValueBoxes[0]->setText(QStringLiteral("34"));
    f.StringGrid1->setRowCount(3);
    f.StringGrid1->setCell(0, 1, QStringLiteral("1"));
    f.StringGrid1->setCell(1, 1, QStringLiteral("16684\r\n35"));
    f.StringGrid1->setCell(2, 1, QStringLiteral("Zündaussetzer erkannt"));
    f.StringGrid1->setCell(3, 1, QStringLiteral("sporadisch"));
    f.StringGrid1->setCell(0, 2, QStringLiteral("2"));
    f.StringGrid1->setCell(1, 2, QStringLiteral("00532\r\n36"));
    f.StringGrid1->setCell(2, 2, QStringLiteral("Versorgungsspannung B+ Signal zu klein"));
    for (int i = 0; i < 8; ++i) {
        f.ReadinessDigits[i]->setText(i % 3 ? QStringLiteral("0") : QStringLiteral("1"));
        f.ReadinessMarks[i]->setText(i % 3 ? TForm1::ReadinessCheckMark()
                                           : TForm1::ReadinessCrossMark());
        f.ReadinessMarks[i]->setFontColor(i % 3 ? QColor(0, 128, 0) : QColor(255, 0, 0));
    }
    f.Memo3->setPlainText(QStringLiteral("Codierung 04552: Schaltgetriebe\nKlimaanlage"));
    f.Label133->setText(QStringLiteral("Magnetventil für Ladedruckbegrenzung"));
    f.Label158->setText(QStringLiteral("U2 max: 5.0 V"));
}

} // namespace

class ScreenshotsTest : public WindowTest {};

TEST_F(ScreenshotsTest, MainWindowInBothLanguages) {
    std::cout << "screenshots in " << screenshotDir().toStdString() << std::endl;
    for (const char* lang : {"de", "en"}) {
        writeIni(QByteArray("[Config]\nSplash=nein\nBaud=9600\nU2=5.0\nTV1=2\nSprache=") + lang +
                 "\n");
        TForm1& f = makeWindow();
        showWindow(f);
        const QString prefix = QStringLiteral("main_") + QLatin1String(lang);
        save(f, prefix + QStringLiteral("_start"));

        f.ComboBox2->setCurrentIndex(2);
        emit f.ComboBox2->activated(2);
        for (int i = 0; i < f.PageControl1->pageCount(); ++i)
            f.PageControl1->page(i)->setEnabled(true);
        f.state.ConnectionState = ConnectionState::Connected;
        f.BitBtn3->hide();
        f.BitBtn2->show();
        fillSamples(f);
        for (int i = 0; i < f.PageControl1->pageCount(); ++i) {
            f.PageControl1->setActivePageIndex(i);
            save(f, prefix + QStringLiteral("_page%1_").arg(i, 2, 10, QLatin1Char('0')) +
                        f.PageControl1->page(i)->objectName());
        }
        f.ComboBox2->setCurrentIndex(1);
        emit f.ComboBox2->activated(1);
        f.Memo2->setPlainText(
            QStringLiteral("Steuergerät 01 gefunden\n  038906019FN  1,9l R4 EDC"));
        save(f, prefix + QStringLiteral("_search"));
        window.reset();
    }
}

TEST_F(ScreenshotsTest, Dialogs) {
    TForm2 about;
    save(about, QStringLiteral("form2_about"));
    TForm3 banner;
    save(banner, QStringLiteral("form3_banner"));
    for (int lang : {0, 10000}) {
        TForm4 confirm(lang);
        confirm.Tag = lang ? 1 : 2;
        QTimer::singleShot(0, &confirm, [&] {
            save(confirm,
                 QStringLiteral("form4_tag%1_%2").arg(confirm.Tag).arg(lang ? "en" : "de"));
            confirm.BitBtn1->click();
        });
        confirm.ShowModal();
    }
}
