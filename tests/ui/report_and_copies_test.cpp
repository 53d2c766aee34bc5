// The copy buttons and the print button of the real main window: clipboard
// texts read back from the controls, and reports printed to real PDFs, also
// from inside a session with the simulator.
#include "../session/session_fixture.h"
#include "sim_process.h"
#include "reports/report_page.h"
#include "ui_fixture.h"

#include <QClipboard>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {
QString clipboard() {
    return QGuiApplication::clipboard()->text();
}

QString pdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).simplified();
}

int pdfPages(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    p.waitForFinished(30000);
    const QString info = QString::fromUtf8(p.readAllStandardOutput());
    const qsizetype at = info.indexOf(QStringLiteral("Pages:"));
    return at < 0 ? -1 : info.mid(at + 6).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
}

bool havePoppler() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

class CopiesTest : public WindowTest {
protected:
    TForm1& german() {
        writeIni("[Config]\r\nSprache=de\r\nSplash=nein\r\n");
        return makeWindow();
    }
    QString pdf(const char* name) { return dir.filePath(QString::fromLatin1(name)); }
};
} // namespace

TEST_F(CopiesTest, InfoAndGroupPagesCopyWhatTheyShow) {
    TForm1& w = german();
    TLabel* values[] = {w.Label97, w.Label6, w.Label7, w.Label8, w.Label145, w.Label9};
    for (int i = 0; i < 6; ++i)
        values[i]->setText(QStringLiteral("v%1").arg(i));
    w.Label8->setText(QString()); // an empty value stays an empty field
    w.Label7->setText(QStringLiteral("1,4l R4/4V MOT3152\r")); // as identification gives it
    w.BitBtn11Click();
    const QStringList info = clipboard().split(QStringLiteral("\r\n"));
    ASSERT_EQ(info.size(), 7);
    EXPECT_EQ(info[0], w.Label95->text() + "\tv0");
    EXPECT_EQ(info[2], w.Label2->text() + "\t1,4l R4/4V MOT3152");
    EXPECT_EQ(info[3], w.Label3->text() + "\t");
    EXPECT_EQ(info[4], w.Label144->text() + "\tv4");
    EXPECT_EQ(info[5], w.Label4->text() + "\tv5");

    for (size_t k = 0; k < 4; ++k) {
        w.GroupEdits[k]->setText(QString::number(k + 1));
        for (size_t f = 0; f < 4; ++f) {
            w.GroupNameLabels[k][f]->setText(k == 1 ? QStringLiteral("-")
                                                    : QString(QChar(char16_t('a' + f))));
            w.GroupValueBoxes[k][f]->setText(k == 3 ? QString()
                                                    : QString(QChar(char16_t('p' + f))));
        }
    }
    w.GroupEnableBoxes[2]->setChecked(false); // copied all the same
    w.BitBtn12Click();
    EXPECT_EQ(clipboard(), "1\ta\tb\tc\td\r\n\tp\tq\tr\ts\r\n"
                           "2\t-\t-\t-\t-\r\n\tp\tq\tr\ts\r\n"
                           "3\ta\tb\tc\td\r\n\tp\tq\tr\ts\r\n"
                           "4\ta\tb\tc\td\r\n\t\t\t\t\r\n");
}

TEST_F(CopiesTest, RawFaultAndBasicSettingsPages) {
    TForm1& w = german();
    // Before any read: captions with empty values, and one empty grid row.
    w.BitBtn10Click();
    QString raw;
    for (QGroupBox* box : w.RawGroupBoxes)
        raw += box->title() + "\t\r\n";
    EXPECT_EQ(clipboard(), raw);
    w.BitBtn9Click();
    EXPECT_EQ(clipboard(), "Nr.\tDTC\tFehlerbeschreibung\tStatus/Ursache\t\r\n\t\t\t\t\r\n");

    w.StringGrid1->setRowCount(3);
    const QStringList row1{"1", "18007\r\n35", "Drosselklappe", "Unterbrechung"};
    const QStringList row2{"2", "00290\r\n99", "", ""};
    for (int c = 0; c < 4; ++c) {
        w.StringGrid1->setCell(c, 1, row1[c]);
        w.StringGrid1->setCell(c, 2, row2[c]);
    }
    w.BitBtn9Click();
    EXPECT_EQ(clipboard(), "Nr.\tDTC\tFehlerbeschreibung\tStatus/Ursache\t\r\n"
                           "1\t18007 35\tDrosselklappe\tUnterbrechung\t\r\n"
                           "2\t00290 99\t\t\t\r\n");

    w.Edit10->setText(QStringLiteral("7"));
    for (size_t f = 0; f < 4; ++f) {
        w.BasicNameLabels[f]->setText(QStringLiteral("n%1").arg(f));
        w.BasicValueBoxes[f]->setText(QStringLiteral("%1 %").arg(f));
    }
    w.BitBtn14Click();
    EXPECT_EQ(clipboard(), "7\tn0\tn1\tn2\tn3\r\n\t0 %\t1 %\t2 %\t3 %\r\n");
    for (size_t i = 0; i < 10; ++i)
        w.BasicRawValueBoxes[i]->setText(QString::number(i * 11));
    w.BitBtn16Click();
    EXPECT_EQ(clipboard(), "0\r\n11\r\n22\r\n33\r\n44\r\n55\r\n66\r\n77\r\n88\r\n99\r\n");
}

TEST_F(CopiesTest, EscCopiesTheVisibleFaultCodePage) {
    TForm1& w = german();
    showWindow(w);
    w.PageControl1->show();
    w.TabSheet3->setEnabled(true);
    w.PageControl1->setActivePage(w.TabSheet3);
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(clipboard().startsWith(QStringLiteral("Nr.\tDTC\t")));
}

TEST_F(CopiesTest, PrintWaitsForTheSessionOrPrintsTheControlsAtOnce) {
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    TForm1& w = german();
    w.Label97->setText(QStringLiteral("03 Bremsenelektronik"));
    w.Label6->setText(QStringLiteral("1J0907379G"));
    w.Label100->setText(QStringLiteral("0018049"));
    w.GroupValueBoxes[3][3]->setText(QStringLiteral("13,9 V"));
    w.GroupNameLabels[0][0]->setText(QStringLiteral("Drehzahl"));
    w.RawValueBoxes[9]->setText(QStringLiteral("255"));
    w.StringGrid1->setRowCount(2);
    w.StringGrid1->setCell(1, 1, QStringLiteral("00283\r\n35"));
    w.StringGrid1->setCell(2, 1, QStringLiteral("Drehzahlfühler vorn links"));
    const char* digits = "01000001";
    for (size_t i = 0; i < 8; ++i)
        w.ReadinessDigits[i]->setText(QString(QChar(digits[i])));

    prompts.expectPrint(true, pdf("one.pdf"));
    w.BitBtn6Click();
    ASSERT_EQ(pdfPages(pdf("one.pdf")), 1);
    const QString t = pdfText(pdf("one.pdf"));
    for (const char* expected :
         {"Diagnoseprotokoll", "Version 1.41", "Steuergeräte-Infos: 03 Bremsenelektronik",
          "1J0907379G", "0018049", "13,9 V", "Drehzahl", "255", "00283 35",
          "Drehzahlfühler vorn links", "Readiness-Code: 01000001", "Katalysator"})
        EXPECT_TRUE(t.contains(QString::fromUtf8(expected))) << expected << "\n" << t.toStdString();

    // Unreadable readiness: the heading carries the page's message.
    w.Label89->setText(w.Str(54));
    w.Label89->show();
    prompts.expectPrint(true, pdf("two.pdf"), 2);
    w.BitBtn6Click();
    // Each copy is a job of its own; a file holds the one page.
    EXPECT_EQ(pdfPages(pdf("two.pdf")), 1);
    EXPECT_TRUE(pdfText(pdf("two.pdf")).contains("Readiness-Code: " + w.Str(54)));

    prompts.expectPrint(false, pdf("cancelled.pdf"));
    w.BitBtn6Click();
    EXPECT_FALSE(QFile::exists(pdf("cancelled.pdf")));
}

TEST_F(CopiesTest, AReportOnA1200DpiPrinterKeepsItsLayout) {
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    // A CUPS printer starts at 1200 dpi; the page is laid out in 600 dpi dots.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf("fine.pdf"));
    printer.setResolution(1200);
    ReportContent content;
    content.title = QStringLiteral("Diagnoseprotokoll");
    content.footer = QStringLiteral("Fusszeile");
    for (size_t i = 0; i < 8; ++i)
        content.readinessItems[i] = QStringLiteral("Bereitschaft%1").arg(i + 1);
    PrintReportCopies(printer, content, 2);
    EXPECT_EQ(printer.copyCount(), 2) << "the dialog shows the user's number again";

    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf("fine.pdf"), "-"});
    p.waitForFinished(30000);
    const QString boxes = QString::fromUtf8(p.readAllStandardOutput());
    auto top = [&](const QString& text) {
        const auto m = QRegularExpression(QStringLiteral("yMin=\"([\\d.]+)\"[^>]*>") + text +
                                          QStringLiteral("</word>"))
                           .match(boxes);
        return m.hasMatch() ? m.captured(1).toDouble() : -1.0;
    };
    const double pageHeight =
        QRegularExpression(QStringLiteral("<page width=\"[\\d.]+\" height=\"([\\d.]+)\""))
            .match(boxes)
            .captured(1)
            .toDouble();
    ASSERT_GT(pageHeight, 0);
    // The readiness section sits at 5900 dots below the top: 10 of the
    // page's 11.7 inches at 600 dpi, half of that at 1200.
    EXPECT_GT(top("Bereitschaft1") / pageHeight, 0.8);
    EXPECT_GT(top("Fusszeile") / pageHeight, 0.9);
    EXPECT_LT(top("Diagnoseprotokoll") / pageHeight, 0.1);
}

TEST_F(CopiesTest, ThePrintDialogKeepsItsChoicesForTheRun) {
    TForm1& w = german();
    prompts.expectPrint(true, pdf("first.pdf"), 2);
    w.BitBtn6Click();
    prompts.expectPrint(true); // the user only confirms
    w.BitBtn6Click();
    ASSERT_EQ(prompts.shown().size(), 2u);
    EXPECT_EQ(prompts.shown()[1].text, pdf("first.pdf"));
    EXPECT_EQ(prompts.shown()[1].tag, 2);
}

TEST_F(CopiesTest, APrinterThatRefusesTheJobIsReported) {
    TForm1& w = german();
    prompts.expectPrint(true, dir.filePath(QStringLiteral("missing/folder/report.pdf")));
    prompts.expectMessage(QString(), QStringLiteral("Vandrix"), PromptIcon::Error);
    w.BitBtn6->setEnabled(true);
    w.BitBtn6->click();
}

class PrintInSessionTest : public SessionTest {};

TEST_F(PrintInSessionTest, PrintsBetweenPassesAndAgainAfterDisconnect) {
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    SimProcess sim;
    ASSERT_TRUE(sim.started()) << "vandrix-sim is built with the whole tree";
    TForm1& w = makeWindow(sim.terminalPath());
    chooseUnit(1);
    w.show();
    const QString during = dir.filePath(QStringLiteral("during.pdf"));
    bool printedWhileConnected = false;
    bool asked = false;
    QElapsedTimer clock;
    clock.start();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (clock.elapsed() > 20000) {
            ADD_FAILURE() << "no report during the session";
            timer.stop();
            w.BitBtn2Click();
            return;
        }
        if (!connected())
            return;
        if (!asked && w.TabSheet2->isEnabled()) {
            w.PageControl1->setActivePage(w.TabSheet2);
            w.CheckBox1->setChecked(true);
            if (w.Label12->text().isEmpty())
                return;
            asked = true;
            prompts.expectPrint(true, during);
            w.BitBtn6Click(); // only a request while the session runs
            EXPECT_TRUE(prompts.shown().empty());
        } else if (asked && QFile::exists(during)) {
            printedWhileConnected = connected();
            timer.stop();
            w.BitBtn2Click();
        }
    });
    timer.start(20);
    w.BitBtn3Click();
    timer.stop();
    ASSERT_TRUE(printedWhileConnected);
    EXPECT_TRUE(pdfText(during).contains(w.Label97->text().simplified()));

    // After Disconnect the last session's contents print at once.
    const QString after = dir.filePath(QStringLiteral("after.pdf"));
    prompts.expectPrint(true, after);
    w.BitBtn6Click();
    const QString t = pdfText(after);
    EXPECT_FALSE(w.Label97->text().isEmpty());
    EXPECT_TRUE(t.contains(w.Label97->text().simplified())) << t.toStdString();
    EXPECT_TRUE(t.contains(w.Label12->text().simplified())) << t.toStdString();
}

TEST_F(PrintInSessionTest, AfterACommunicationErrorPrintingIsAtOnceAndNeverCarriedOver) {
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    SimProcess sim({"--fault", "dataerror@0801"});
    ASSERT_TRUE(sim.started());
    TForm1& w = makeWindow(sim.terminalPath());
    chooseUnit(1);
    prompts.expectMessage(w.Str(304), w.Str(301), PromptIcon::Error);
    runSession(
        [&] {
            w.PageControl1->setActivePage(w.TabSheet2);
            w.CheckBox1->setChecked(true);
        },
        false);
    prompts.verifyDone();
    ASSERT_TRUE(w.BitBtn6->isEnabled());

    const QString report = dir.filePath(QStringLiteral("report.pdf"));
    prompts.expectPrint(true, report);
    w.BitBtn6->click();
    prompts.verifyDone();
    EXPECT_EQ(pdfPages(report), 1);

    // The next session shows no print dialog of its own.
    runSession();
    EXPECT_EQ(sim.commands().last(), "ATH");
}
