#include "reports/report_page.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <cmath>

namespace {
const QColor Shade{236, 233, 216};
const QColor CheckGreen{0, 128, 0};
const QColor CrossRed{255, 0, 0};
const QString CheckMark = QString(QChar(0x2713));
const QString CrossMark = QString(QChar(0x2717));
const QString LineBreak = QStringLiteral("\r\n");

QFont reportFont(int points, bool bold = false, bool italic = false) {
    QFont font;
    // DejaVu Sans keeps the proportions where Verdana is not installed.
    font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

// The rectangle between two corners, the right and bottom edges excluded.
QRect box(int x1, int y1, int x2, int y2) {
    return QRect(x1, y1, x2 - x1, y2 - y1);
}

class Page {
public:
    Page(QPainter& painter, const ReportFrame& frame) : p(painter), f(frame) {}

    void font(int points, bool bold = false, bool italic = false, QColor colour = Qt::black) {
        p.setFont(reportFont(points, bold, italic));
        p.setPen(colour);
    }
    int textWidth(const QString& text) const { return p.fontMetrics().horizontalAdvance(text); }
    int textHeight() const { return p.fontMetrics().height(); }

    // Text whose cell's top left corner is (x, y).
    void textOut(int x, int y, const QString& text) {
        p.drawText(QPoint(x, y + p.fontMetrics().ascent()), text);
    }
    void fill(const QRect& r, const QColor& colour) { p.fillRect(r, colour); }
    void line(int x1, int y1, int x2, int y2) {
        p.save();
        p.setPen(QPen(Qt::black, 5));
        p.drawLine(x1, y1, x2, y2);
        p.restore();
    }
    // One line centred in r from its top, cut at r.
    void centred(const QRect& r, const QString& text) {
        p.drawText(r, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text);
    }
    // Wrapped at word boundaries; a CR LF starts a new line. With ellipsis,
    // the last line that fits ends in "..." when text is left over.
    void wrapped(const QRect& r, const QString& text, Qt::Alignment align, bool ellipsis);

    void frame(int top, int bottom, const QString& heading) {
        p.save();
        p.setPen(QPen(Qt::black, 5));
        p.setBrush(Qt::white);
        p.drawRoundedRect(box(f.L + 50, top, f.W - 50, bottom), 125, 125, Qt::AbsoluteSize);
        p.restore();
        font(10, true);
        // The white patch interrupts the frame's top line behind the heading.
        fill(box(f.L + 450, top - 80, f.L + 520 + textWidth(heading), top - 10 + textHeight()),
             Qt::white);
        textOut(f.L + 500, top - 60, heading);
    }

    QPainter& p;
    const ReportFrame& f;
};

void Page::wrapped(const QRect& r, const QString& text, Qt::Alignment align, bool ellipsis) {
    struct Line {
        int paragraph;
        int start;
        int length;
    };
    QString flat = text;
    flat.replace(LineBreak, QStringLiteral("\n"));
    const QStringList paragraphs = flat.split(QLatin1Char('\n'));
    std::vector<Line> lines;
    QTextOption option;
    // A word wider than its cell breaks inside: cut at both ends by the
    // centring, it would not be readable at all.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (int n = 0; n < paragraphs.size(); ++n) {
        QTextLayout layout(paragraphs[n], p.font(), p.device());
        layout.setTextOption(option);
        layout.beginLayout();
        const size_t before = lines.size();
        for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
            l.setLineWidth(r.width());
            lines.push_back({n, l.textStart(), l.textLength()});
        }
        layout.endLayout();
        if (lines.size() == before)
            lines.push_back({n, 0, 0});
    }
    const int lineHeight = textHeight();
    const int fitting = std::max(1, r.height() / lineHeight);
    p.save();
    p.setClipRect(r, Qt::IntersectClip);
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        QString shown = paragraphs[l.paragraph].mid(l.start, l.length).trimmed();
        const bool last = int(i) == fitting - 1 && i + 1 < lines.size();
        if (ellipsis && last) {
            QStringList rest{paragraphs[l.paragraph].mid(l.start)};
            for (int n = l.paragraph + 1; n < paragraphs.size(); ++n)
                rest << paragraphs[n];
            shown = p.fontMetrics().elidedText(rest.join(QLatin1Char(' ')).trimmed(),
                                               Qt::ElideRight, r.width());
        }
        p.drawText(QRect(r.left(), r.top() + int(i) * lineHeight, r.width(), lineHeight),
                   int(align | Qt::AlignTop | Qt::TextSingleLine), shown);
        if (ellipsis && int(i) == fitting - 1)
            break;
    }
    p.restore();
}

void drawHeader(Page& pg, const ReportContent& c) {
    const ReportFrame& f = pg.f;
    pg.font(26, true, true);
    const QString name = QStringLiteral("Vandrix");
    pg.textOut(f.W - pg.textWidth(name), f.T, name);
    const int th = pg.textHeight();

    pg.font(8);
    pg.textOut(f.W - pg.textWidth(c.versionText), f.T + th, c.versionText);
    const int tv = pg.textHeight();
    pg.textOut(f.L, f.T + th, c.webAddress);

    if (!c.banner.isNull()) {
        const QRect target(QPoint(f.L - 25, f.T + 120),
                           QPoint(f.L + 3 * c.banner.width(), f.T + 120 + 3 * c.banner.height()));
        pg.p.drawImage(target, c.banner);
    }
    pg.line(f.L, f.T + th + tv + 10, f.W, f.T + th + tv + 10);
}

void drawFooterAndTitle(Page& pg, const ReportContent& c) {
    const ReportFrame& f = pg.f;
    pg.font(10);
    const int tf = pg.textHeight();
    pg.textOut(f.L, f.H - tf, c.footer);
    pg.line(f.L, f.H - tf - 10, f.W, f.H - tf - 10);

    pg.font(12, true);
    pg.textOut((f.L + f.W - pg.textWidth(c.title)) / 2, f.T + 200, c.title);
}

void drawIdentification(Page& pg, const ReportContent& c) {
    const ReportFrame& f = pg.f;
    const int T = f.T;
    pg.frame(T + 490, T + 1280,
             WithoutAccelerator(c.infoCaption) + QStringLiteral(": ") + c.unitName);
    for (int top : {600, 830, 1060})
        pg.fill(box(f.L + 240, T + top, f.W - 250, T + top + 120), Shade);
    const int rows[5] = {600, 720, 830, 950, 1060};
    for (int i = 0; i < 5; ++i) {
        pg.font(10);
        pg.textOut(f.L + 250, T + rows[i], c.identification[size_t(i)].first);
        pg.font(10, true);
        pg.textOut(f.L + 1750, T + rows[i], c.identification[size_t(i)].second);
    }
}

void drawGroups(Page& pg, const ReportContent& c) {
    const ReportFrame& f = pg.f;
    pg.frame(f.T + 1410, f.T + 3210, WithoutAccelerator(c.groupCaption));
    const int w = RoundHalfEven((f.W - f.L - 1000) / 4.0);
    for (int k = 0; k < 4; ++k) {
        const GroupSlotTexts& slot = c.groups[size_t(k)];
        const int y = f.T + 1510 + 410 * k;
        pg.font(10);
        pg.textOut(f.L + 250, y, slot.number);
        for (int j = 0; j < 4; ++j) {
            const int x = f.L + 450 + j * (w + 100);
            pg.font(9);
            pg.wrapped(box(x, y, x + w, y + 210), slot.names[size_t(j)], Qt::AlignHCenter, false);
            const QRect value = box(x, y + 250, x + w, y + 370);
            pg.fill(value, Shade);
            pg.font(10, true);
            pg.centred(value, slot.values[size_t(j)]);
        }
    }
}

void drawRawData(Page& pg, const ReportContent& c) {
    const ReportFrame& f = pg.f;
    pg.frame(f.T + 3330, f.T + 3805, WithoutAccelerator(c.rawCaption));
    const int v = RoundHalfEven((f.W - f.L - 1400) / 10.0);
    for (int i = 0; i < 10; ++i) {
        const int x = f.L + 250 + i * (v + 100);
        pg.font(10);
        pg.centred(box(x, f.T + 3430, x + v, f.T + 3550), QString::number(i + 1));
        const QRect value = box(x, f.T + 3590, x + v, f.T + 3710);
        pg.fill(value, Shade);
        pg.font(10, true);
        pg.centred(value, c.rawValues[size_t(i)]);
    }
}

void drawFaultCodes(Page& pg, const ReportContent& c) {
    const ReportFrame& f = pg.f;
    pg.frame(f.T + 3920, f.T + 5680, WithoutAccelerator(c.faultCaption));
    const int y0 = f.T + 4020;
    const FaultGridRows& grid = c.faultGrid;
    if (grid.size() < 2 || grid[1][1].isEmpty()) {
        // Says "no errors stored" instead of leaving the reader to guess
        // whether the list was read at all.
        if (c.printNoFaultMessage && grid.size() >= 2 && !grid[1][2].isEmpty()) {
            pg.font(10, true);
            pg.textOut(f.L + 250, y0, grid[1][2]);
        }
        return;
    }
    const int n = int(grid.size());
    if (n >= 8) {
        pg.font(10);
        pg.wrapped(box(f.L + 250, y0, f.W - 250, f.T + 5580), FaultListText(grid), Qt::AlignLeft,
                   true);
        return;
    }
    const int cellLeft[4] = {f.L + 240, 740, 1140, 3340};
    const int cellRight[4] = {700, 1100, 3300, f.W - 250};
    auto shadeRow = [&](int top, int bottom) {
        for (int k = 0; k < 4; ++k)
            pg.fill(box(cellLeft[k], top, cellRight[k], bottom), Shade);
    };
    shadeRow(y0, y0 + 120);
    pg.font(10, true);
    for (int k = 0; k < 4; ++k)
        pg.centred(box(cellLeft[k] + 10, y0, cellRight[k], y0 + 120), c.faultHeaders[size_t(k)]);

    for (int i = 1; i < n; ++i) {
        const int y = y0 + 120 + 240 * (i - 1);
        const auto& row = grid[size_t(i)];
        if (i % 2 == 0)
            shadeRow(y, y + 240);
        pg.font(10);
        pg.centred(box(f.L + 250, y, 700, y + 240), QString::number(i));
        pg.wrapped(box(750, y, 1100, y + 240), row[1], Qt::AlignLeft, true);
        pg.font(9);
        pg.wrapped(box(1150, y, 3300, y + 240), QString(row[2]).replace(LineBreak, "/"),
                   Qt::AlignLeft, true);
        pg.wrapped(box(3350, y, f.W - 250, y + 240), QString(row[3]).replace(LineBreak, "/"),
                   Qt::AlignLeft, true);
    }
}

void drawReadiness(Page& pg, const ReportContent& c) {
    const ReportFrame& f = pg.f;
    const int T = f.T;
    const QString digits = [&] {
        QString joined;
        for (const QString& d : c.readinessDigits)
            joined += d;
        return joined;
    }();
    pg.frame(T + 5800, T + 6480,
             WithoutAccelerator(c.readinessCaption) + QStringLiteral(": ") +
                 (c.readinessFailed ? c.readinessFailure : digits));

    const int half = f.W / 2;
    const int left[2] = {f.L + 240, half + 240};
    const int right[2] = {half + f.L - 250, f.W - 250};
    for (int row = 0; row < 4; ++row) {
        const int y = T + 5900 + 120 * row;
        // Chequered: left rows 1 and 3, right rows 2 and 4.
        const int column = row % 2;
        pg.fill(box(left[column], y, right[column], y + 120), Shade);
    }
    for (int i = 1; i <= 8; ++i) {
        const int column = i <= 4 ? 0 : 1;
        const int x0 = column == 0 ? f.L + 250 : half + 250;
        const int y = T + 5900 + 120 * ((i - 1) % 4);
        if (!c.readinessFailed) {
            // Item 1 is the rightmost digit.
            const QString digit = c.readinessDigits[size_t(8 - i)].left(1);
            if (digit == QLatin1String("0")) {
                pg.font(20, false, false, CheckGreen);
                pg.textOut(x0, y - 15, CheckMark);
            } else if (digit == QLatin1String("1")) {
                pg.font(20, false, false, CrossRed);
                pg.textOut(x0, y - 30, CrossMark);
            }
        }
        pg.font(10);
        pg.textOut(x0 + 150, y, c.readinessItems[size_t(i - 1)]);
    }
}
} // namespace

int RoundHalfEven(double value) {
    return int(std::nearbyint(value));
}

QString WithoutAccelerator(const QString& caption) {
    QString text = caption;
    const qsizetype at = text.indexOf(QLatin1Char('&'));
    if (at >= 0)
        text.remove(at, 1);
    return text;
}

QString FaultListText(const FaultGridRows& rows) {
    QStringList entries;
    for (size_t i = 1; i < rows.size(); ++i) {
        const auto& row = rows[i];
        QString entry = QString::number(i) + QStringLiteral(". ") +
                        QString(row[1]).replace(LineBreak, QStringLiteral("/")) +
                        QStringLiteral(", ") + row[2];
        if (!row[3].isEmpty())
            entry += QStringLiteral(", ") + row[3];
        entries << entry;
    }
    return entries.join(QStringLiteral(" --- "));
}

ReportFrame ReportFrameOf(const QPaintDevice& device) {
    ReportFrame frame;
    frame.W = device.width();
    frame.H = device.height();
    if (const auto* paged = dynamic_cast<const QPagedPaintDevice*>(&device)) {
        const QRect printable = paged->pageLayout().paintRectPixels(device.logicalDpiX());
        frame.L = printable.left();
        frame.T = printable.top();
    }
    frame.L += 300;
    return frame;
}

void DrawReportPage(QPainter& painter, const ReportFrame& frame, const ReportContent& content) {
    painter.save();
    painter.setBackgroundMode(Qt::TransparentMode);
    Page page(painter, frame);
    drawHeader(page, content);
    drawFooterAndTitle(page, content);
    drawIdentification(page, content);
    drawGroups(page, content);
    drawRawData(page, content);
    drawFaultCodes(page, content);
    drawReadiness(page, content);
    painter.restore();
}
