#pragma once
// The control kinds of the main window that Qt has no exact twin for: labels
// that size themselves to their text, bevel lines, spin buttons beside an edit
// field, page controls whose tabs wrap into rows, a status bar of fixed panels,
// a text grid with a fixed header row, a paint box and a drop-down list that
// is told when it opens. Each keeps the behaviour the window relies on and
// nothing more.
#include <QAbstractScrollArea>
#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

class QTimer;
class QStackedWidget;
class QShortcut;

// A label of fixed size, or one that follows its text when AutoSize is on.
class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(QWidget* parent = nullptr);

    // Shadows QLabel::setText so that an auto-sized label grows with its text.
    void setText(const QString& text);
    QString text() const { return QLabel::text(); }

    void setAutoSize(bool on);
    bool autoSize() const { return m_autoSize; }

    // Background colour; an invalid colour lets the parent show through.
    void setColor(const QColor& colour);
    QColor color() const { return m_colour; }
    void setFontColor(const QColor& colour);
    QColor fontColor() const;

    // For names from label files, which may be longer than the cell: a
    // text that does not fit shrinks, down to MinFitFraction of the font;
    // beyond that it ends in "..." with the whole of it in the tool tip.
    // Never centred and cut at both ends; text() keeps the whole text.
    void setFitText(bool on);
    static constexpr double MinFitFraction = 0.69;
    // What is drawn, in which font.
    QString shownText();
    QFont shownFont();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void fit();

    bool m_autoSize = false;
    QColor m_colour;
    bool m_fitText = false;
    bool m_ownToolTip = false;
    // What the fit was worked out for, and its result.
    bool m_fitValid = false;
    QString m_fitFor;
    QSize m_fitSize;
    QFont m_fitFont;
    QString m_shownText;
    QFont m_shownFont;
};

// An etched line along the top or bottom edge of its rectangle.
class TBevel : public QWidget {
    Q_OBJECT
public:
    enum Shape { TopLine, BottomLine, Frame };
    TBevel(Shape shape, QWidget* parent = nullptr);
    Shape shape() const { return m_shape; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Shape m_shape;
};

// Spin buttons that step the number in their associated edit field.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    void setAssociate(QLineEdit* edit);
    QLineEdit* associate() const { return m_associate; }
    void setRange(int min, int max);
    int min() const { return m_min; }
    int max() const { return m_max; }
    int position() const { return m_position; }
    // Also writes the associated edit's text.
    void setPosition(int position);

    // Steps as a click on the upper (up) or lower half would.
    void click(bool up);

signals:
    // Before every step a user makes, whether or not the position moves.
    void changing();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void repeatStep();

    QPointer<QLineEdit> m_associate;
    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
    int m_pressed = 0; // 1 up, -1 down, 0 none
    QTimer* m_repeat;
};

class TPageControl;

// One page of a page control; its caption is the tab's text.
class TTabSheet : public QWidget {
    Q_OBJECT
public:
    explicit TTabSheet(QWidget* parent = nullptr);
    void setCaption(const QString& caption);
    QString caption() const { return m_caption; }
    TPageControl* pageControl() const { return m_control; }
    int pageIndex() const;
    // The page's own enabled flag, whatever its page control's state.
    bool pageEnabled() const { return !testAttribute(Qt::WA_Disabled); }

private:
    friend class TPageControl;
    QString m_caption;
    TPageControl* m_control = nullptr;
    QShortcut* m_shortcut = nullptr;
};

// Pages with tabs along the top; tabs that do not fit wrap into more rows, and
// the row of the active tab sits next to the page, as users of multi-row tabs
// expect.
class TPageControl : public QWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent = nullptr);

    void addPage(TTabSheet* sheet);
    int pageCount() const { return int(m_pages.size()); }
    TTabSheet* page(int index) const { return m_pages.at(size_t(index)); }
    TTabSheet* activePage() const { return m_active; }
    int activePageIndex() const;
    // Every page keeps its tab, so the tab index is the page index.
    int tabIndex() const { return activePageIndex(); }
    // The program's own page change: the Change signal does not fire.
    void setActivePage(TTabSheet* sheet);
    void setActivePageIndex(int index);
    // As a user's click on the tab (or its accelerator) would.
    void selectTabByUser(int index);

    int rowCount() const;
    QRect tabRect(int index) const;
    void setTabFont(const QFont& font);
    QFont tabFont() const { return m_tabFont; }

signals:
    // The user chose another tab; activePage() already is the new one.
    void Change();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent*) override;
    void changeEvent(QEvent* event) override;

private:
    friend class TTabSheet;
    void relayout();
    void updateShortcut(TTabSheet* sheet);
    int tabRowHeight() const;

    std::vector<TTabSheet*> m_pages;
    TTabSheet* m_active = nullptr;
    QStackedWidget* m_stack;
    QFont m_tabFont;
    std::vector<QRect> m_tabRects;
    int m_rows = 1;
};

// A status bar of panels with fixed widths; owner-drawn panels are painted
// by the onDrawPanel callback, the others show their text centred.
class TStatusBar : public QWidget {
    Q_OBJECT
public:
    struct Panel {
        int width = 50;
        QString text;
        QString toolTip; // shown instead of the text when set; a new text clears it
        bool ownerDraw = false;
    };
    explicit TStatusBar(QWidget* parent = nullptr);

    void setPanels(const std::vector<int>& widths);
    int panelCount() const { return int(m_panels.size()); }
    Panel& panel(int index) { return m_panels.at(size_t(index)); }
    const Panel& panel(int index) const { return m_panels.at(size_t(index)); }
    QString panelText(int index) const { return panel(index).text; }
    void setPanelText(int index, const QString& text);
    void setPanelToolTip(int index, const QString& tip) { panel(index).toolTip = tip; }
    QString panelToolTip(int index) const {
        return panel(index).toolTip.isEmpty() ? panel(index).text : panel(index).toolTip;
    }
    void setOwnerDraw(int index, bool on);
    // The rectangle a panel's drawing gets, inside its frame. The last panel
    // reaches to the bar's right edge.
    QRect panelRect(int index) const;
    // A panel's width as shown: its own, widened from the bar's spare room
    // where its text would not fit, so a long text is read at full size.
    int shownWidth(int index) const;
    // text as drawn in width: whole, or cut at the end with "..." when even
    // the widened panel is too narrow (the tool tip has it whole).
    static QString fittingText(const QFont& font, const QString& text, int width);

    std::function<void(QPainter&, int, const QRect&)> onDrawPanel;

protected:
    void paintEvent(QPaintEvent*) override;
    // A panel's whole text as its tool tip: a long one is drawn small.
    bool event(QEvent* event) override;

private:
    std::vector<Panel> m_panels;
};

// A text grid with fixed header rows that scroll with nothing, rows that
// scroll by whole rows, and drawing and selection left to callbacks.
class TStringGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TStringGrid(QWidget* parent = nullptr);

    int colCount() const { return m_colCount; }
    void setColCount(int count);
    int rowCount() const { return m_rowCount; }
    void setRowCount(int count);
    int fixedRows() const { return m_fixedRows; }
    void setFixedRows(int rows);

    int colWidth(int col) const;
    void setColWidth(int col, int width);
    int rowHeight(int row) const;
    void setRowHeight(int row, int height);
    int defaultRowHeight() const { return m_defaultRowHeight; }
    void setDefaultRowHeight(int height);

    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString& text);

    // First scrolling row shown below the fixed rows.
    int topRow() const { return m_topRow; }
    void setTopRow(int row);
    int visibleRowCount() const;
    QRect cellRect(int col, int row) const;

    int selectedCol() const { return m_selCol; }
    int selectedRow() const { return m_selRow; }

    // Paints one cell; without it the grid draws the text plainly.
    std::function<void(QPainter&, int col, int row, const QRect&, bool selected)> onDrawCell;
    // Asked before a cell becomes the selected one; false refuses.
    std::function<bool(int col, int row)> onSelectCell;
    // A wheel turn (down true when turned towards the user); true when handled.
    std::function<bool(bool down)> onMouseWheel;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent*) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBar();
    int rowAt(int y) const;
    int colAt(int x) const;

    int m_colCount = 5;
    int m_rowCount = 5;
    int m_fixedRows = 1;
    int m_defaultRowHeight = 24;
    int m_topRow = 1;
    int m_selCol = -1;
    int m_selRow = -1;
    std::vector<int> m_colWidths;
    std::vector<int> m_rowHeights;             // 0: default
    std::vector<std::vector<QString>> m_cells; // [row][col]
    bool m_syncingScrollBar = false;
};

// A transparent area that leaves its painting to a callback.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr);
    std::function<void(QPainter&)> onPaint;

protected:
    void paintEvent(QPaintEvent*) override;
};

// A drop-down list that runs onDropDown before its list opens, so the list
// can be filled afresh each time.
class TComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    std::function<void()> onDropDown;
    void showPopup() override;

    // An entry's text for the closed box, when it has a shorter one of its
    // own: the list and currentText() keep the entry's whole text.
    static constexpr int ClosedTextRole = Qt::UserRole + 1;
    QString closedText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
