// The printed report (AudruckStarten) and the copy buttons of the pages
// (BitBtn9, 10, 11, 12, 14, 16). Both read what the controls show at that
// moment and nothing else; the layout and the texts are built in reports/.
#include "config/app_locale.h"
#include "config/strings.h"
#include "reports/copy_texts.h"
#include "reports/report_page.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"
#include "ui/web_page.h"

#include <QClipboard>
#include <QDateTime>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QScopeGuard>
#include <stdexcept>

namespace {
GroupSlotTexts slotTexts(const QLineEdit* number, const std::array<TLabel*, 4>& names,
                         const std::array<TLabel*, 4>& values) {
    GroupSlotTexts slot;
    slot.number = number->text();
    for (size_t f = 0; f < 4; ++f) {
        slot.names[f] = names[f]->text();
        slot.values[f] = values[f]->text();
    }
    return slot;
}

FaultGridRows gridRows(const TStringGrid& grid) {
    FaultGridRows rows(size_t(std::max(0, grid.rowCount())));
    for (int r = 0; r < grid.rowCount(); ++r)
        for (int c = 0; c < 4; ++c)
            rows[size_t(r)][size_t(c)] = grid.cell(c, r);
    return rows;
}

void toClipboard(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

ReportContent gatherReport(const TForm1& f) {
    ReportContent c;
    c.versionText = LoadStr(0);
    c.webAddress = WebLinks::InfoPage;
    c.banner = BannerPicture();
    c.title = f.Str(43);
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = AppLocale::locale();
    c.footer = locale.toString(now.date(), AppLocale::shortDateFormat()) + QStringLiteral(" - ") +
               locale.toString(now.time(), AppLocale::longTimeFormat());

    c.infoCaption = f.Str(9);
    c.unitName = f.Label97->text();
    c.identification = {{{f.Label1->text(), f.Label6->text()},
                         {f.Label2->text(), f.Label7->text()},
                         {f.Label3->text(), f.Label8->text()},
                         {f.Label4->text(), f.Label9->text()},
                         {f.Label101->text(), f.Label100->text()}}};

    c.groupCaption = f.Str(10);
    for (size_t k = 0; k < 4; ++k)
        c.groups[k] = slotTexts(f.GroupEdits[k], f.GroupNameLabels[k], f.GroupValueBoxes[k]);

    c.rawCaption = f.Str(29);
    for (size_t i = 0; i < 10; ++i)
        c.rawValues[i] = f.RawValueBoxes[i]->text();

    c.faultCaption = f.Str(11);
    c.faultHeaders = {QStringLiteral("#"), f.Str(37), f.Str(38), f.Str(39)};
    c.faultGrid = gridRows(*f.StringGrid1);

    c.readinessCaption = f.Str(44);
    // The label's own flag: the window need not be on screen to print.
    c.readinessFailed = !f.Label89->isHidden();
    c.readinessFailure = f.Label89->text();
    for (size_t i = 0; i < 8; ++i) {
        c.readinessDigits[i] = f.ReadinessDigits[i]->text();
        c.readinessItems[i] = f.Str(45 + int(i));
    }
    return c;
}
} // namespace

QPrinter& TForm1::ReportPrinter() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void PrintReportCopies(QPrinter& printer, const ReportContent& content, int copies) {
    // The page is laid out in fixed dots for a 600 dpi page. A printer keeps
    // its own resolution otherwise (1200 dpi is common), and the page would
    // shrink into its upper half with its rows on top of each other.
    printer.setResolution(600);
    // Each copy is a job of its own, so the printer must not multiply them;
    // the dialog shows the user's number again next time.
    printer.setCopyCount(1);
    const auto keepCopies = qScopeGuard([&printer, copies] { printer.setCopyCount(copies); });
    for (int copy = 0; copy < copies; ++copy) {
        QPainter painter;
        if (!painter.begin(&printer))
            throw std::runtime_error("The printer did not accept the report");
        try {
            DrawReportPage(painter, ReportFrameOf(printer), content);
        } catch (...) {
            printer.abort();
            throw;
        }
        painter.end();
    }
}

void TForm1::AudruckStarten() {
    QPrinter& printer = ReportPrinter();
    if (!prompts.print(printer))
        return;
    const int copies = printer.copyCount();
    if (copies < 1)
        return;
    PrintReportCopies(printer, gatherReport(*this), copies);
}

void TForm1::BitBtn9Click() {
    toClipboard(FaultCodePageCopy(gridRows(*StringGrid1)));
}

void TForm1::BitBtn10Click() {
    std::array<CaptionValue, 10> rows;
    for (size_t i = 0; i < 10; ++i)
        rows[i] = {RawGroupBoxes[i]->title(), RawValueBoxes[i]->text()};
    toClipboard(RawPageCopy(rows));
}

void TForm1::BitBtn11Click() {
    toClipboard(InfoPageCopy({{{Label95->text(), Label97->text()},
                               {Label1->text(), Label6->text()},
                               {Label2->text(), Label7->text()},
                               {Label3->text(), Label8->text()},
                               {Label144->text(), Label145->text()},
                               {Label4->text(), Label9->text()}}}));
}

void TForm1::BitBtn12Click() {
    std::array<GroupSlotTexts, 4> groups;
    for (size_t k = 0; k < 4; ++k)
        groups[k] = slotTexts(GroupEdits[k], GroupNameLabels[k], GroupValueBoxes[k]);
    toClipboard(GroupPageCopy(groups));
}

void TForm1::BitBtn14Click() {
    toClipboard(BasicSettingsGroupCopy(slotTexts(Edit10, BasicNameLabels, BasicValueBoxes)));
}

void TForm1::BitBtn16Click() {
    std::array<QString, 10> values;
    for (size_t i = 0; i < 10; ++i)
        values[i] = BasicRawValueBoxes[i]->text();
    toClipboard(BasicSettingsRawCopy(values));
}
