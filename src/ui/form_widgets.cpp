#include "ui/form_widgets.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOption>
#include <QStylePainter>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <qdrawutil.h>

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void TLabel::setText(const QString& text) {
    QLabel::setText(text);
    if (m_autoSize)
        adjustSize();
    if (m_fitText)
        fit();
}

void TLabel::setFitText(bool on) {
    m_fitText = on;
    m_fitValid = false;
    if (on)
        fit();
    update();
}

QString TLabel::shownText() {
    if (!m_fitText)
        return text();
    fit();
    return m_shownText;
}

QFont TLabel::shownFont() {
    if (!m_fitText)
        return font();
    fit();
    return m_shownFont;
}

void TLabel::fit() {
    const QString whole = text();
    const QRect room = contentsRect();
    if (m_fitValid && whole == m_fitFor && room.size() == m_fitSize && font() == m_fitFont)
        return;
    m_fitValid = true;
    m_fitFor = whole;
    m_fitSize = room.size();
    m_fitFont = font();

    const int flags = int(alignment()) | Qt::TextWordWrap;
    const auto fits = [&](const QFont& f, const QString& t) {
        const QRect needed = QFontMetrics(f).boundingRect(room, flags, t);
        return needed.width() <= room.width() && needed.height() <= room.height();
    };
    QFont f = font();
    const bool pixels = f.pixelSize() > 0;
    const double full = pixels ? f.pixelSize() : f.pointSizeF();
    const auto setSize = [&](double size) {
        if (pixels)
            f.setPixelSize(int(size));
        else
            f.setPointSizeF(size);
    };
    m_shownText = whole;
    bool fitted = fits(f, whole);
    for (double size = full - 1; !fitted && size >= full * MinFitFraction - 1e-9; size -= 1) {
        setSize(size);
        fitted = fits(f, whole);
    }
    if (!fitted) {
        // The longest beginning that fits with the mark of the cut.
        qsizetype low = 0;
        qsizetype high = whole.size();
        const QString mark(QChar(0x2026));
        while (low < high) {
            const qsizetype mid = (low + high + 1) / 2;
            if (fits(f, whole.left(mid).trimmed() + mark))
                low = mid;
            else
                high = mid - 1;
        }
        m_shownText = whole.left(low).trimmed() + mark;
    }
    m_shownFont = f;
    const bool cut = m_shownText != whole;
    if (cut) {
        setToolTip(whole);
        m_ownToolTip = true;
    } else if (m_ownToolTip) {
        setToolTip(QString());
        m_ownToolTip = false;
    }
}

void TLabel::paintEvent(QPaintEvent* event) {
    if (!m_fitText) {
        QLabel::paintEvent(event);
        return;
    }
    fit();
    QPainter painter(this);
    drawFrame(&painter);
    painter.setFont(m_shownFont);
    style()->drawItemText(&painter, contentsRect(), int(alignment()) | Qt::TextWordWrap, palette(),
                          isEnabled(), m_shownText, foregroundRole());
}

void TLabel::setAutoSize(bool on) {
    m_autoSize = on;
    if (on)
        adjustSize();
}

void TLabel::setColor(const QColor& colour) {
    m_colour = colour;
    QPalette pal = palette();
    if (colour.isValid()) {
        pal.setColor(QPalette::Window, colour);
        setAutoFillBackground(true);
    } else {
        setAutoFillBackground(false);
    }
    setPalette(pal);
}

void TLabel::setFontColor(const QColor& colour) {
    QPalette pal = palette();
    // Disabled pages keep the stated colour too, so warnings stay readable.
    pal.setColor(QPalette::Active, QPalette::WindowText, colour);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    pal.setColor(QPalette::Disabled, QPalette::WindowText, colour);
    setPalette(pal);
}

QColor TLabel::fontColor() const {
    return palette().color(QPalette::Active, QPalette::WindowText);
}

// ---------------------------------------------------------------- TBevel

TBevel::TBevel(Shape shape, QWidget* parent) : QWidget(parent), m_shape(shape) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TBevel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    const int w = width();
    switch (m_shape) {
    case TopLine:
        p.setPen(dark);
        p.drawLine(0, 0, w - 1, 0);
        p.setPen(light);
        p.drawLine(0, 1, w - 1, 1);
        break;
    case BottomLine:
        p.setPen(dark);
        p.drawLine(0, height() - 2, w - 1, height() - 2);
        p.setPen(light);
        p.drawLine(0, height() - 1, w - 1, height() - 1);
        break;
    case Frame:
        qDrawShadeRect(&p, rect(), palette(), true, 1);
        break;
    }
}

// ---------------------------------------------------------------- TUpDown

TUpDown::TUpDown(QWidget* parent) : QWidget(parent), m_repeat(new QTimer(this)) {
    // Clicks leave the focus alone; the window's handlers move it on purpose.
    setFocusPolicy(Qt::NoFocus);
    connect(m_repeat, &QTimer::timeout, this, &TUpDown::repeatStep);
}

void TUpDown::setAssociate(QLineEdit* edit) {
    m_associate = edit;
    setPosition(m_position);
}

void TUpDown::setRange(int min, int max) {
    m_min = min;
    m_max = max;
    m_position = std::clamp(m_position, m_min, m_max);
}

void TUpDown::setPosition(int position) {
    m_position = std::clamp(position, m_min, m_max);
    if (m_associate)
        m_associate->setText(QString::number(m_position));
}

void TUpDown::click(bool up) {
    // The field may have been typed into since the last step.
    if (m_associate) {
        bool ok = false;
        const int typed = m_associate->text().trimmed().toInt(&ok);
        if (ok)
            m_position = std::clamp(typed, m_min, m_max);
    }
    emit changing();
    setPosition(m_position + (up ? 1 : -1));
}

void TUpDown::repeatStep() {
    m_repeat->setInterval(60);
    if (m_pressed != 0)
        click(m_pressed > 0);
}

void TUpDown::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    m_pressed = event->position().y() < height() / 2.0 ? 1 : -1;
    update();
    click(m_pressed > 0);
    m_repeat->start(400);
}

void TUpDown::mouseReleaseEvent(QMouseEvent*) {
    m_pressed = 0;
    m_repeat->stop();
    update();
}

void TUpDown::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)
        click(event->key() == Qt::Key_Up);
    else
        QWidget::keyPressEvent(event);
}

void TUpDown::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int half = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = halves[i];
        const bool down = (i == 0 && m_pressed > 0) || (i == 1 && m_pressed < 0);
        button.state |= down ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &button, &p, this);
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = halves[i].adjusted(3, 2, -3, -2);
        style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                               &arrow, &p, this);
    }
}

// ---------------------------------------------------------------- TTabSheet

TTabSheet::TTabSheet(QWidget* parent) : QWidget(parent) {}

void TTabSheet::setCaption(const QString& caption) {
    m_caption = caption;
    if (m_control) {
        m_control->updateShortcut(this);
        m_control->relayout();
    }
}

int TTabSheet::pageIndex() const {
    if (!m_control)
        return -1;
    for (int i = 0; i < m_control->pageCount(); ++i)
        if (m_control->page(i) == this)
            return i;
    return -1;
}

// ---------------------------------------------------------------- TPageControl

namespace {
constexpr int TabPadding = 6;
constexpr int PageInset = 4;

QString withoutMarker(QString text) {
    // "&&" is a literal ampersand, a single "&" only marks the next letter.
    text.replace(QLatin1String("&&"), QString(QChar(0xE000)));
    text.remove(QLatin1Char('&'));
    text.replace(QChar(0xE000), QLatin1Char('&'));
    return text;
}
} // namespace

TPageControl::TPageControl(QWidget* parent)
    : QWidget(parent), m_stack(new QStackedWidget(this)), m_tabFont(font()) {
    setFocusPolicy(Qt::StrongFocus);
}

void TPageControl::addPage(TTabSheet* sheet) {
    sheet->m_control = this;
    m_pages.push_back(sheet);
    m_stack->addWidget(sheet);
    if (!m_active)
        setActivePage(sheet);
    updateShortcut(sheet);
    relayout();
}

int TPageControl::activePageIndex() const {
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i] == m_active)
            return int(i);
    return -1;
}

void TPageControl::setActivePage(TTabSheet* sheet) {
    if (!sheet || sheet->m_control != this)
        return;
    m_active = sheet;
    m_stack->setCurrentWidget(sheet);
    relayout();
}

void TPageControl::setActivePageIndex(int index) {
    if (index >= 0 && index < pageCount())
        setActivePage(page(index));
}

void TPageControl::selectTabByUser(int index) {
    if (index < 0 || index >= pageCount() || page(index) == m_active)
        return;
    setActivePage(page(index));
    emit Change();
}

void TPageControl::setTabFont(const QFont& font) {
    m_tabFont = font;
    relayout();
}

void TPageControl::updateShortcut(TTabSheet* sheet) {
    delete sheet->m_shortcut;
    sheet->m_shortcut = nullptr;
    const QKeySequence key = QKeySequence::mnemonic(sheet->caption());
    if (key.isEmpty())
        return;
    sheet->m_shortcut = new QShortcut(key, this);
    sheet->m_shortcut->setContext(Qt::WindowShortcut);
    auto select = [this, sheet] { selectTabByUser(sheet->pageIndex()); };
    connect(sheet->m_shortcut, &QShortcut::activated, this, select);
    connect(sheet->m_shortcut, &QShortcut::activatedAmbiguously, this, select);
}

int TPageControl::tabRowHeight() const {
    return QFontMetrics(m_tabFont).height() + 7;
}

int TPageControl::rowCount() const {
    return m_rows;
}

QRect TPageControl::tabRect(int index) const {
    if (index < 0 || size_t(index) >= m_tabRects.size())
        return {};
    return m_tabRects[size_t(index)];
}

void TPageControl::relayout() {
    const QFontMetrics fm(m_tabFont);
    const int available = std::max(1, width() - 6);
    // Greedy rows in page order.
    std::vector<std::vector<int>> rows(1);
    std::vector<int> widths(m_pages.size());
    int used = 0;
    for (size_t i = 0; i < m_pages.size(); ++i) {
        widths[i] = fm.horizontalAdvance(withoutMarker(m_pages[i]->caption())) + 2 * TabPadding;
        if (!rows.back().empty() && used + widths[i] > available) {
            rows.emplace_back();
            used = 0;
        }
        rows.back().push_back(int(i));
        used += widths[i];
    }
    m_rows = int(rows.size());
    const int rowHeight = tabRowHeight();
    const int activeIndex = activePageIndex();
    int activeRow = 0;
    for (size_t r = 0; r < rows.size(); ++r)
        if (std::find(rows[r].begin(), rows[r].end(), activeIndex) != rows[r].end())
            activeRow = int(r);

    m_tabRects.assign(m_pages.size(), QRect());
    for (size_t r = 0; r < rows.size(); ++r) {
        // The active row goes next to the page, the others stack above it.
        const int fromBottom = (int(r) - activeRow + m_rows) % m_rows;
        const int y = (m_rows - 1 - fromBottom) * rowHeight;
        int rowWidth = 0;
        for (int i : rows[r])
            rowWidth += widths[size_t(i)];
        // Several rows are stretched to the full width.
        const int extra = m_rows > 1 ? available - rowWidth : 0;
        int x = 2;
        for (size_t k = 0; k < rows[r].size(); ++k) {
            const int i = rows[r][k];
            int w = widths[size_t(i)];
            if (extra > 0)
                w += extra / int(rows[r].size()) + (int(k) < extra % int(rows[r].size()) ? 1 : 0);
            m_tabRects[size_t(i)] = QRect(x, y, w, rowHeight);
            x += w;
        }
    }
    const int top = m_rows * rowHeight;
    m_stack->setGeometry(PageInset, top + PageInset, width() - 2 * PageInset,
                         height() - top - 2 * PageInset);
    update();
}

void TPageControl::resizeEvent(QResizeEvent*) {
    relayout();
}

void TPageControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

void TPageControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    for (size_t i = 0; i < m_tabRects.size(); ++i)
        if (m_tabRects[i].contains(event->position().toPoint())) {
            // The tab takes the focus, so no field of the new page gets it
            // unasked: a focused number field is never read by the session.
            setFocus(Qt::MouseFocusReason);
            selectTabByUser(int(i));
            return;
        }
}

void TPageControl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int top = m_rows * tabRowHeight();
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(0, top, width(), height() - top);
    frame.shape = QTabBar::RoundedNorth;
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &p, this);

    p.setFont(m_tabFont);
    const int active = activePageIndex();
    // The style draws the tab's shape; the caption is drawn here so that its
    // padding is the one the row layout counted with.
    auto drawTab = [&](int i) {
        QStyleOptionTab tab;
        tab.initFrom(this);
        tab.rect = m_tabRects[size_t(i)];
        tab.shape = QTabBar::RoundedNorth;
        tab.position = QStyleOptionTab::Middle;
        tab.state &= ~QStyle::State_HasFocus;
        const bool enabled = m_pages[size_t(i)]->pageEnabled() && isEnabled();
        if (!enabled)
            tab.state &= ~QStyle::State_Enabled;
        if (i == active) {
            tab.state |= QStyle::State_Selected;
            tab.rect.adjust(-2, -2, 2, 0);
        }
        style()->drawControl(QStyle::CE_TabBarTabShape, &tab, &p, this);
        p.setPen(
            palette().color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        p.drawText(tab.rect.adjusted(0, i == active ? 0 : 1, 0, 0),
                   Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextSingleLine,
                   m_pages[size_t(i)]->caption());
    };
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (int(i) != active)
            drawTab(int(i));
    if (active >= 0)
        drawTab(active);
}

// ---------------------------------------------------------------- TStatusBar

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
}

void TStatusBar::setPanels(const std::vector<int>& widths) {
    m_panels.clear();
    for (int w : widths)
        m_panels.push_back(Panel{w, QString(), QString(), false});
    update();
}

void TStatusBar::setPanelText(int index, const QString& text) {
    panel(index).text = text;
    panel(index).toolTip.clear();
    update(panelRect(index).adjusted(-2, -2, 2, 2));
}

void TStatusBar::setOwnerDraw(int index, bool on) {
    panel(index).ownerDraw = on;
    update();
}

int TStatusBar::shownWidth(int index) const {
    // Bold, as the bar may draw a marked panel.
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    const size_t n = m_panels.size();
    std::vector<int> wanted(n), shown(n);
    int spare = width();
    for (size_t i = 0; i < n; ++i) {
        shown[i] = m_panels[i].width;
        spare -= shown[i];
        const QString& text = m_panels[i].text;
        wanted[i] = text.isEmpty() ? 0 : metrics.horizontalAdvance(text) + 12;
    }
    // Room for a long text comes from the bar's spare width, then from
    // panels whose own text is shorter than they are.
    int needed = 0, lendable = 0;
    for (size_t i = 0; i < n; ++i) {
        needed += std::max(0, wanted[i] - shown[i]);
        lendable += std::max(0, shown[i] - std::max(wanted[i], 16));
    }
    const int fromSpare = std::clamp(needed, 0, std::max(spare, 0));
    const int borrowed = std::min(needed - fromSpare, lendable);
    const int granted = fromSpare + borrowed;
    for (size_t i = 0; i < n; ++i) {
        const int deficit = std::max(0, wanted[i] - m_panels[i].width);
        const int surplus = std::max(0, m_panels[i].width - std::max(wanted[i], 16));
        if (deficit > 0 && needed > 0)
            shown[i] += int(qint64(deficit) * granted / needed);
        if (surplus > 0 && lendable > 0)
            shown[i] -= int(qint64(surplus) * borrowed / lendable);
    }
    return shown[size_t(index)];
}

QRect TStatusBar::panelRect(int index) const {
    int x = 0;
    for (int i = 0; i < index; ++i)
        x += shownWidth(i);
    int width = shownWidth(index);
    if (index == panelCount() - 1)
        width = std::max(width, this->width() - x);
    // Inside a one-pixel frame, two pixels between neighbours.
    return QRect(x + 1, 3, width - 4, height() - 4);
}

QString TStatusBar::fittingText(const QFont& font, const QString& text, int width) {
    return QFontMetrics(font).elidedText(text, Qt::ElideRight, width - 4);
}

bool TStatusBar::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const QPoint at = static_cast<QHelpEvent*>(event)->pos();
    for (int i = 0; i < panelCount(); ++i)
        if (panelRect(i).contains(at) && !panelText(i).isEmpty()) {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), panelToolTip(i), this,
                               panelRect(i));
            return true;
        }
    QToolTip::hideText();
    event->ignore();
    return true;
}

void TStatusBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    for (int i = 0; i < panelCount(); ++i) {
        const QRect inner = panelRect(i);
        qDrawShadePanel(&p, inner.adjusted(-1, -1, 1, 1), palette(), true, 1);
        p.save();
        p.setClipRect(inner);
        if (m_panels[size_t(i)].ownerDraw && onDrawPanel) {
            onDrawPanel(p, i, inner);
        } else {
            const QString text = fittingText(font(), m_panels[size_t(i)].text, inner.width());
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(inner, Qt::AlignCenter | Qt::TextSingleLine, text);
        }
        p.restore();
    }
}

// ---------------------------------------------------------------- TStringGrid

TStringGrid::TStringGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(1);
    setFocusPolicy(Qt::ClickFocus);
    viewport()->setAutoFillBackground(true);
    m_colWidths.assign(size_t(m_colCount), 64);
    m_rowHeights.assign(size_t(m_rowCount), 0);
    m_cells.assign(size_t(m_rowCount), std::vector<QString>(size_t(m_colCount)));
}

void TStringGrid::setColCount(int count) {
    m_colCount = std::max(1, count);
    m_colWidths.resize(size_t(m_colCount), 64);
    for (auto& row : m_cells)
        row.resize(size_t(m_colCount));
    viewport()->update();
}

void TStringGrid::setRowCount(int count) {
    m_rowCount = std::max(m_fixedRows + 1, count);
    m_rowHeights.resize(size_t(m_rowCount), 0);
    m_cells.resize(size_t(m_rowCount), std::vector<QString>(size_t(m_colCount)));
    updateScrollBar();
    viewport()->update();
}

void TStringGrid::setFixedRows(int rows) {
    m_fixedRows = std::clamp(rows, 0, m_rowCount - 1);
    m_topRow = std::max(m_topRow, m_fixedRows);
    updateScrollBar();
}

int TStringGrid::colWidth(int col) const {
    return m_colWidths.at(size_t(col));
}

void TStringGrid::setColWidth(int col, int width) {
    m_colWidths.at(size_t(col)) = width;
    viewport()->update();
}

int TStringGrid::rowHeight(int row) const {
    const int h = m_rowHeights.at(size_t(row));
    return h > 0 ? h : m_defaultRowHeight;
}

void TStringGrid::setRowHeight(int row, int height) {
    m_rowHeights.at(size_t(row)) = height;
    updateScrollBar();
    viewport()->update();
}

void TStringGrid::setDefaultRowHeight(int height) {
    m_defaultRowHeight = height;
    updateScrollBar();
    viewport()->update();
}

QString TStringGrid::cell(int col, int row) const {
    if (row < 0 || row >= m_rowCount || col < 0 || col >= m_colCount)
        return {};
    return m_cells[size_t(row)][size_t(col)];
}

void TStringGrid::setCell(int col, int row, const QString& text) {
    if (row < 0 || row >= m_rowCount || col < 0 || col >= m_colCount)
        return;
    m_cells[size_t(row)][size_t(col)] = text;
    viewport()->update();
}

void TStringGrid::setTopRow(int row) {
    updateScrollBar();
    verticalScrollBar()->setValue(row); // clamps, then scrollContentsBy follows
    m_topRow = verticalScrollBar()->value();
    viewport()->update();
}

int TStringGrid::visibleRowCount() const {
    int y = 0;
    for (int r = 0; r < m_fixedRows; ++r)
        y += rowHeight(r) + 1;
    int count = 0;
    for (int r = m_topRow; r < m_rowCount; ++r) {
        y += rowHeight(r) + 1;
        if (y > viewport()->height() + 1)
            break;
        ++count;
    }
    return count;
}

void TStringGrid::updateScrollBar() {
    int avail = viewport()->height() + 1;
    for (int r = 0; r < m_fixedRows; ++r)
        avail -= rowHeight(r) + 1;
    // The last top row that still shows the final row in full.
    int lastTop = m_rowCount - 1;
    int used = 0;
    for (int r = m_rowCount - 1; r >= m_fixedRows; --r) {
        used += rowHeight(r) + 1;
        if (used > avail)
            break;
        lastTop = r;
    }
    lastTop = std::max(m_fixedRows, lastTop);
    m_syncingScrollBar = true;
    verticalScrollBar()->setRange(m_fixedRows, lastTop);
    verticalScrollBar()->setPageStep(std::max(1, visibleRowCount()));
    m_syncingScrollBar = false;
    m_topRow = verticalScrollBar()->value();
}

void TStringGrid::scrollContentsBy(int, int) {
    if (m_syncingScrollBar)
        return;
    m_topRow = verticalScrollBar()->value();
    viewport()->update();
}

void TStringGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBar();
}

QRect TStringGrid::cellRect(int col, int row) const {
    int x = 0;
    for (int c = 0; c < col; ++c)
        x += m_colWidths[size_t(c)] + 1;
    int y = 0;
    if (row < m_fixedRows) {
        for (int r = 0; r < row; ++r)
            y += rowHeight(r) + 1;
    } else {
        if (row < m_topRow)
            return {};
        for (int r = 0; r < m_fixedRows; ++r)
            y += rowHeight(r) + 1;
        for (int r = m_topRow; r < row; ++r)
            y += rowHeight(r) + 1;
    }
    return QRect(x, y, m_colWidths[size_t(col)], rowHeight(row));
}

int TStringGrid::rowAt(int y) const {
    for (int r = 0; r < m_rowCount; ++r) {
        const QRect rect = cellRect(0, r);
        if (rect.isValid() && y >= rect.top() && y <= rect.bottom())
            return r;
    }
    return -1;
}

int TStringGrid::colAt(int x) const {
    int left = 0;
    for (int c = 0; c < m_colCount; ++c) {
        if (x >= left && x < left + m_colWidths[size_t(c)])
            return c;
        left += m_colWidths[size_t(c)] + 1;
    }
    return -1;
}

void TStringGrid::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QColor lineColour = palette().color(QPalette::Mid);
    auto paintRow = [&](int r) {
        for (int c = 0; c < m_colCount; ++c) {
            const QRect rect = cellRect(c, r);
            if (!rect.isValid() || rect.top() > viewport()->height())
                continue;
            p.save();
            p.setClipRect(rect);
            const bool selected = c == m_selCol && r == m_selRow;
            if (onDrawCell) {
                onDrawCell(p, c, r, rect, selected);
            } else {
                p.fillRect(rect, r < m_fixedRows ? palette().color(QPalette::Button)
                                                 : palette().color(QPalette::Base));
                p.drawText(rect.adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop,
                           m_cells[size_t(r)][size_t(c)]);
            }
            p.restore();
            p.setPen(lineColour);
            p.drawLine(rect.right() + 1, rect.top(), rect.right() + 1, rect.bottom() + 1);
            p.drawLine(rect.left(), rect.bottom() + 1, rect.right() + 1, rect.bottom() + 1);
        }
    };
    for (int r = 0; r < m_fixedRows; ++r)
        paintRow(r);
    for (int r = m_topRow; r < m_rowCount; ++r) {
        if (cellRect(0, r).top() > viewport()->height())
            break;
        paintRow(r);
    }
}

void TStringGrid::mousePressEvent(QMouseEvent* event) {
    const int row = rowAt(int(event->position().y()));
    const int col = colAt(int(event->position().x()));
    if (row < m_fixedRows || col < 0)
        return;
    if (onSelectCell && !onSelectCell(col, row))
        return;
    m_selCol = col;
    m_selRow = row;
    viewport()->update();
}

void TStringGrid::wheelEvent(QWheelEvent* event) {
    const bool down = event->angleDelta().y() < 0;
    if (onMouseWheel && onMouseWheel(down)) {
        event->accept();
        return;
    }
    setTopRow(m_topRow + (down ? 1 : -1));
    event->accept();
}

// ---------------------------------------------------------------- TPaintBox

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TPaintBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (onPaint)
        onPaint(p);
}

void TComboBox::showPopup() {
    if (onDropDown)
        onDropDown();
    QComboBox::showPopup();
}

QString TComboBox::closedText() const {
    const QString own = itemData(currentIndex(), ClosedTextRole).toString();
    return own.isEmpty() ? currentText() : own;
}

void TComboBox::paintEvent(QPaintEvent*) {
    // As QComboBox paints itself, with the closed text cut at its end.
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    option.currentText = fontMetrics().elidedText(closedText(), Qt::ElideRight, field.width() - 2);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
