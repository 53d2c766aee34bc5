// The printed report as a real PDF: its page, its texts (pdftotext) and, at
// the places where the layout matters, its pixels (pdftoppm).
#include "qt_printers.h"
#include "reports/report_page.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QGuiApplication& app() {
    static int argc = 1;
    static char name[] = "reports-test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication a(argc, argv);
    return a;
}

const std::array<QString, 4> GridHeader{"Nr.", "DTC", "Fehlerbeschreibung", "Status/Ursache"};

// n fault codes as the grid holds them; code k has the status text "Status k"
// unless told otherwise.
FaultGridRows faults(int n) {
    FaultGridRows rows{GridHeader};
    for (int k = 1; k <= n; ++k)
        rows.push_back({QString::number(k), QStringLiteral("0053%1\r\n3%1").arg(k),
                        QStringLiteral("Fehler %1").arg(k), QStringLiteral("Status %1").arg(k)});
    return rows;
}

ReportContent sampleContent() {
    ReportContent c;
    c.versionText = QStringLiteral("Version 1.41");
    c.webAddress = QStringLiteral("https://www.vandrix.example/");
    c.banner = QImage(396, 50, QImage::Format_RGB32);
    c.banner.fill(QColor(0, 0, 160));
    c.title = QStringLiteral("Diagnoseprotokoll");
    c.footer = QStringLiteral("10.12.26 - 02:30:00");
    c.infoCaption = QStringLiteral("Steuergeräte-&Infos");
    c.unitName = QStringLiteral("01 Motor");
    c.identification = {{{"Teilenummer:", "06A906032HN"},
                         {"Bauteil:", "1.8L R4/5VT"},
                         {"Zusatz:", "G 0001"},
                         {"WSC:", "12345"},
                         {"Codierung:", "00031"}}};
    c.groupCaption = QStringLiteral("Meßwerte");
    for (size_t k = 0; k < 4; ++k) {
        c.groups[k].number = QString::number(k + 1);
        for (size_t f = 0; f < 4; ++f) {
            c.groups[k].names[f] = QStringLiteral("Name %1-%2").arg(k + 1).arg(f + 1);
            c.groups[k].values[f] = QStringLiteral("%1 upm").arg(100 * (k + 1) + f);
        }
    }
    c.rawCaption = QStringLiteral("Roh&daten");
    for (size_t i = 0; i < 10; ++i)
        c.rawValues[i] = QString::number(200 + i);
    c.faultCaption = QStringLiteral("Fehlercodes");
    c.faultHeaders = {"#", "DTC", "Fehlerbeschreibung", "Status/Ursache"};
    c.faultGrid = faults(3);
    c.readinessCaption = QStringLiteral("Readiness-Code");
    c.readinessDigits = {"0", "1", "0", "0", "0", "0", "0", "1"};
    for (size_t i = 0; i < 8; ++i)
        c.readinessItems[i] = QStringLiteral("Item%1").arg(i + 1);
    return c;
}

bool havePoppler() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty();
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class ReportPage : public ::testing::Test {
protected:
    ReportPage() { app(); }

    // Prints content to a PDF at 600 dpi and returns the printer's frame.
    ReportFrame print(const ReportContent& content) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setResolution(600);
        QPainter painter;
        EXPECT_TRUE(painter.begin(&printer));
        const ReportFrame frame = ReportFrameOf(printer);
        DrawReportPage(painter, frame, content);
        painter.end();
        return frame;
    }

    QString text() { return run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}); }
    int pages() {
        const QString info = run(QStringLiteral("pdfinfo"), {pdf});
        const qsizetype at = info.indexOf(QStringLiteral("Pages:"));
        return at < 0 ? -1 : info.mid(at + 6).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
    }

    // The page at 100 dpi; page dots map to image pixels by / 6.
    QImage image() {
        const QString base = dir.filePath(QStringLiteral("page"));
        run(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-png"),
             QStringLiteral("-singlefile"), pdf, base});
        return QImage(base + QStringLiteral(".png"));
    }

    // The colour at the painter's dot (x, y); its origin lies at the
    // printable area's margins.
    static QColor at(const QImage& page, const ReportFrame& f, int x, int y) {
        return page.pixelColor((f.L - 300 + x) / 6, (f.T + y) / 6);
    }
    // Whether a pixel near the colour lies in the dot rectangle.
    static bool holds(const QImage& page, const ReportFrame& f, QRect dots, QColor colour) {
        for (int y = dots.top(); y <= dots.bottom(); y += 6)
            for (int x = dots.left(); x <= dots.right(); x += 6) {
                const QColor c = at(page, f, x, y);
                if (std::abs(c.red() - colour.red()) < 40 &&
                    std::abs(c.green() - colour.green()) < 40 &&
                    std::abs(c.blue() - colour.blue()) < 40)
                    return true;
            }
        return false;
    }

    QTemporaryDir dir;
    QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    const QColor green{0, 128, 0};
    const QColor red{255, 0, 0};
};

bool isShade(QColor c) {
    return std::abs(c.red() - 236) < 6 && std::abs(c.green() - 233) < 6 &&
           std::abs(c.blue() - 216) < 6;
}
bool isWhite(QColor c) {
    return c.red() > 250 && c.green() > 250 && c.blue() > 250;
}
} // namespace

TEST(ReportHelpers, CaptionsLoseTheirFirstAcceleratorOnly) {
    EXPECT_EQ(WithoutAccelerator("Steuergeräte-&Infos"), "Steuergeräte-Infos");
    EXPECT_EQ(WithoutAccelerator("Roh&daten"), "Rohdaten");
    EXPECT_EQ(WithoutAccelerator("A&&B"), "A&B");
    EXPECT_EQ(WithoutAccelerator("Readiness-Code"), "Readiness-Code");
}

TEST(ReportHelpers, ColumnWidthsRoundHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(891.25), 891);
    EXPECT_EQ(RoundHalfEven(891.75), 892);
}

TEST(ReportHelpers, FaultListJoinsEntriesAndLeavesOutEmptyStatus) {
    FaultGridRows rows = faults(3);
    rows[2][3].clear();
    EXPECT_EQ(FaultListText(rows), "1. 00531/31, Fehler 1, Status 1 --- "
                                   "2. 00532/32, Fehler 2 --- "
                                   "3. 00533/33, Fehler 3, Status 3");
}

TEST(ReportHelpers, FrameOfAnImageHasNoMargins) {
    QImage image(1000, 2000, QImage::Format_RGB32);
    const ReportFrame f = ReportFrameOf(image);
    EXPECT_EQ(f.L, 300);
    EXPECT_EQ(f.T, 0);
    EXPECT_EQ(f.W, 1000);
    EXPECT_EQ(f.H, 2000);
}

TEST_F(ReportPage, FrameComesFromThePrintersMargins) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(600);
    const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
    const QRect printable = printer.pageRect(QPrinter::DevicePixel).toRect();
    const ReportFrame f = ReportFrameOf(printer);
    EXPECT_EQ(f.L, printable.left() - paper.left() + 300);
    EXPECT_EQ(f.T, printable.top() - paper.top());
    EXPECT_EQ(f.W, printable.width());
    EXPECT_EQ(f.H, printable.height());
}

TEST_F(ReportPage, OnePageWithEverySection) {
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    print(sampleContent());
    EXPECT_EQ(pages(), 1);
    const QString t = text();
    for (const char* expected : {"Vandrix",
                                 "Version 1.41",
                                 "https://www.vandrix.example/",
                                 "Diagnoseprotokoll",
                                 "10.12.26 - 02:30:00",
                                 "Steuergeräte-Infos: 01 Motor",
                                 "Teilenummer:",
                                 "06A906032HN",
                                 "Codierung:",
                                 "00031",
                                 "Meßwerte",
                                 "Name 4-4",
                                 "403 upm",
                                 "Rohdaten",
                                 "209",
                                 "Fehlercodes",
                                 "Fehlerbeschreibung",
                                 "Status/Ursache",
                                 "Fehler 3",
                                 "Status 3",
                                 "Readiness-Code: 01000001",
                                 "Item8"})
        EXPECT_TRUE(t.contains(QString::fromUtf8(expected))) << expected << "\n" << t.toStdString();
    EXPECT_FALSE(t.contains(QStringLiteral("&")));
}

TEST_F(ReportPage, FaultTableShadesEvenRowsAndEndsInsideItsFrame) {
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    ReportContent c = sampleContent();
    c.faultGrid = faults(6);
    const ReportFrame f = print(c);
    const QImage page = image();
    ASSERT_FALSE(page.isNull());
    const int y0 = f.T + 4020;
    // Sampled near the right end of the status cell, where no text stands.
    const int x = f.W - 280;
    EXPECT_TRUE(isShade(at(page, f, x, y0 + 60))) << "header";
    for (int i = 1; i <= 6; ++i) {
        const QColor c = at(page, f, x, y0 + 120 + 240 * (i - 1) + 120);
        EXPECT_TRUE(i % 2 == 0 ? isShade(c) : isWhite(c)) << "row " << i;
    }
    // Row 6 ends at T + 5580; below it the frame is white up to its line.
    EXPECT_TRUE(isShade(at(page, f, x, f.T + 5570)));
    EXPECT_TRUE(isWhite(at(page, f, x, f.T + 5600)));
    // The white gap between the code and description cells.
    EXPECT_TRUE(isWhite(at(page, f, 1120, y0 + 120 + 240 + 120)));
    EXPECT_TRUE(text().contains(QStringLiteral("Fehler 6")));
}

TEST_F(ReportPage, FaultSectionForms) {
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    struct Case {
        const char* name;
        FaultGridRows grid;
        bool printMessage;
        QStringList present;
        QStringList absent;
    };
    FaultGridRows seven = faults(7);
    seven[7][3].clear();
    FaultGridRows longText = faults(1);
    longText[1][2] = QStringLiteral("Sehr ") + QStringLiteral("lange Beschreibung ").repeated(30) +
                     QStringLiteral("ENDWORT");
    const FaultGridRows none{GridHeader, {"", "", "Keine Fehler gespeichert", ""}};
    const Case cases[] = {
        {"seven codes: list form",
         seven,
         true,
         {"1. 00531/31, Fehler 1, Status 1 --- 2. 00532/32", "7. 00537/37, Fehler 7"},
         {"Fehler 7 ---", "Fehler 7,", "Status/Ursache"}},
        {"cut text ends in an ellipsis",
         longText,
         true,
         {"Sehr lange", QString(QChar(0x2026))},
         {"ENDWORT"}},
        {"none stored: the list's message", none, true, {"Keine Fehler gespeichert"}, {"DTC"}},
        {"none stored, message left out", none, false, {}, {"Keine Fehler", "DTC"}},
        {"never read", {GridHeader, {}}, true, {"Fehlercodes"}, {"DTC", "Nr."}},
    };
    for (const Case& k : cases) {
        ReportContent c = sampleContent();
        c.faultGrid = k.grid;
        c.printNoFaultMessage = k.printMessage;
        print(c);
        // pdftotext breaks wrapped lines; the checks read one running text.
        const QString t = text().simplified();
        for (const QString& p : k.present)
            EXPECT_TRUE(t.contains(p)) << k.name << ": " << p.toStdString() << "\n"
                                       << t.toStdString();
        for (const QString& a : k.absent)
            EXPECT_FALSE(t.contains(a)) << k.name << ": " << a.toStdString();
    }
}

TEST_F(ReportPage, ReadinessMarksFollowTheDigitsRightToLeft) {
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    ReportContent c = sampleContent();
    // Label65 .. Label72: item 1 is the last digit, item 7 the second.
    c.readinessDigits = {"0", "1", "0", "0", "0", "0", "0", "1"};
    const ReportFrame f = print(c);
    QImage page = image();
    const int half = f.W / 2;
    auto markArea = [&](int item) {
        const int x0 = item <= 4 ? f.L + 250 : half + 250;
        const int y = f.T + 5900 + 120 * ((item - 1) % 4);
        // The ink of a 20 pt mark hangs about 10 to 125 dots below y.
        return QRect(x0, y + 20, 140, 80);
    };
    for (int item = 1; item <= 8; ++item) {
        const bool cross = item == 1 || item == 7;
        EXPECT_EQ(holds(page, f, markArea(item), red), cross) << "item " << item;
        EXPECT_EQ(holds(page, f, markArea(item), green), !cross) << "item " << item;
    }

    // Unreadable: the heading names the failure and no item is marked.
    c.readinessFailed = true;
    c.readinessFailure = QStringLiteral("Readiness nicht lesbar");
    c.readinessDigits = {"0", "0", "0", "0", "1", "1", "1", "1"};
    print(c);
    page = image();
    EXPECT_TRUE(text().contains(QStringLiteral("Readiness-Code: Readiness nicht lesbar")));
    for (int item = 1; item <= 8; ++item) {
        EXPECT_FALSE(holds(page, f, markArea(item), red)) << "item " << item;
        EXPECT_FALSE(holds(page, f, markArea(item), green)) << "item " << item;
    }
}

TEST_F(ReportPage, AWordWiderThanItsCellBreaksInsideAndStaysReadable) {
    if (!havePoppler())
        GTEST_SKIP() << "poppler-utils not installed";
    ReportContent c = sampleContent();
    const QString longName = QStringLiteral("Leerlaufdrehzahlgrundeinstellungsbedingung");
    c.groups[0].names[0] = longName;
    const ReportFrame f = print(c);
    // Every piece of the word starts inside the first name cell (the word
    // centred whole would start far to its left, cut off).
    const double cellLeft = (f.L + 450) * 72.0 / 600.0;
    const QString boxes =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\"[^>]*>([^<]+)</word>"));
    QString joined;
    for (auto m = word.globalMatch(boxes); m.hasNext();) {
        const auto w = m.next();
        if (!longName.contains(w.captured(2)))
            continue;
        joined += w.captured(2);
        EXPECT_GE(w.captured(1).toDouble(), cellLeft) << w.captured(2).toStdString();
    }
    EXPECT_EQ(joined, longName);
}
