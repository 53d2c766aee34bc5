// The view's own behaviour in TForm1: the two painted status panels, the fault
// grid's cells, the readiness lines, page and control unit changes, focus
// moves that hand typed numbers to the session, Help, Print, Esc, and the box
// of last resort for errors no handler caught.
#include "ui/fonts.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <cmath>

int StatusPanelTextX(int panelLeft, int panelWidth, int textWidth, int shift) {
    // nearbyint rounds halves to the even neighbour.
    return panelLeft + shift + int(std::nearbyint((panelWidth - textWidth) / 2.0));
}

void TForm1::connectHandlers() {
    auto onClick = [this](QAbstractButton* button, void (TForm1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { Guarded([&] { (this->*handler)(); }); });
    };
    onClick(BitBtn3, &TForm1::BitBtn3Click);
    onClick(BitBtn2, &TForm1::BitBtn2Click);
    onClick(BitBtn1, &TForm1::BitBtn1Click);
    onClick(BitBtn6, &TForm1::BitBtn6Click);
    onClick(BitBtn4, &TForm1::BitBtn4Click);
    onClick(BitBtn5, &TForm1::BitBtn5Click);
    onClick(BitBtn7, &TForm1::BitBtn7Click);
    onClick(BitBtn8, &TForm1::BitBtn8Click);
    onClick(BitBtn13, &TForm1::BitBtn13Click);
    onClick(BitBtn15, &TForm1::BitBtn15Click);
    onClick(CheckBox7, &TForm1::CheckBox7Click);
    onClick(CheckBox6, &TForm1::CheckBox6Click);
    onClick(BitBtn9, &TForm1::BitBtn9Click);
    onClick(BitBtn10, &TForm1::BitBtn10Click);
    onClick(BitBtn11, &TForm1::BitBtn11Click);
    onClick(BitBtn12, &TForm1::BitBtn12Click);
    onClick(BitBtn14, &TForm1::BitBtn14Click);
    onClick(BitBtn16, &TForm1::BitBtn16Click);
    CopyButtons = {BitBtn9, BitBtn10, BitBtn11, BitBtn12, BitBtn14, BitBtn16};

    // activated: only the user's choices, never the program's own selection.
    connect(ComboBox2, &QComboBox::activated, this,
            [this] { Guarded([this] { ComboBox2Change(); }); });
    connect(ComboBox3, &QComboBox::activated, this,
            [this] { Guarded([this] { ComboBox3Change(); }); });
    connect(CheckListBox1, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        Guarded([&] { CheckListBox1ClickCheck(CheckListBox1->row(item)); });
    });
    connect(PageControl1, &TPageControl::Change, this,
            [this] { Guarded([this] { PageControl1Change(); }); });

    for (TUpDown* upDown : {UpDown1, UpDown2, UpDown3, UpDown4})
        connect(upDown, &TUpDown::changing, this,
                [this] { Guarded([this] { UpDown2Changing(); }); });
    connect(UpDown5, &TUpDown::changing, this, [this] { Guarded([this] { UpDown5Changing(); }); });
    connect(UpDown7, &TUpDown::changing, this, [this] { Guarded([this] { UpDown7Changing(); }); });
    for (QLineEdit* edit : {Edit2, Edit3, Edit4, Edit5, Edit8, Edit11})
        edit->installEventFilter(this);

    StringGrid1->onDrawCell = [this](QPainter& p, int col, int row, const QRect& rect, bool) {
        Guarded([&] { StringGrid1DrawCell(p, col, row, rect); });
    };
    StringGrid1->onSelectCell = [this](int col, int row) {
        return StringGrid1SelectCell(col, row);
    };
    StringGrid1->onMouseWheel = [this](bool down) {
        return down ? StringGrid1MouseWheelDown() : StringGrid1MouseWheelUp();
    };
    PaintBox1->onPaint = [this](QPainter& p) { Guarded([&] { PaintBox1Paint(p); }); };

    // Every copy button is a cancel button of the window.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this,
            [this] { Guarded([this] { PressVisibleCopyButton(); }); });
}

// ---------------------------------------------------------------- drawing

void TForm1::StatusBar1DrawPanel(QPainter& painter, int panel, const QRect& rect) {
    QFont font = StatusBar1->font();
    painter.setPen(Qt::black);
    if (panel == 0) {
        switch (state.ConnectionState) {
        case ConnectionState::NotConnected:
            painter.fillRect(rect, QColor(128, 0, 0));
            painter.setPen(Qt::white);
            break;
        case ConnectionState::Connecting:
            painter.fillRect(rect, QColor(255, 255, 0));
            break;
        case ConnectionState::Connected:
            painter.fillRect(rect, Colours::Idle);
            break;
        }
    } else if (panel == 1 && state.FixedBaudMarked == 1) {
        painter.setPen(QColor(255, 0, 0));
        font.setBold(true);
    }
    // Centred on the panel's full width, which is wider than its inside.
    const QString text =
        TStatusBar::fittingText(font, StatusBar1->panelText(panel), rect.width() - 6);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int width = StatusBar1->shownWidth(panel);
    const int x =
        StatusPanelTextX(rect.left(), width, metrics.horizontalAdvance(text), panel == 1 ? -2 : 0);
    painter.drawText(QPoint(x, rect.top() + 1 + metrics.ascent()), text);
}

void TForm1::StringGrid1DrawCell(QPainter& painter, int col, int row, const QRect& rect) {
    painter.fillRect(rect, row == 0 ? palette().color(QPalette::Button) : QColor(Qt::white));
    QFont font = Fonts::verdana(13);
    painter.setPen(Qt::black);
    QString text = StringGrid1->cell(col, row);
    if (row == 0) {
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, text);
        return;
    }
    painter.setFont(font);
    const QRect inner = rect.adjusted(2, 2, -2, -2);
    painter.setClipRect(inner);
    if (col == 0) {
        painter.drawText(inner, Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine, text);
        return;
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}

bool TForm1::StringGrid1SelectCell(int, int) {
    return false;
}

bool TForm1::StringGrid1MouseWheelDown() {
    StringGrid1->setTopRow(1);
    return true;
}

bool TForm1::StringGrid1MouseWheelUp() {
    StringGrid1->setTopRow(1);
    return true;
}

void TForm1::PaintBox1Paint(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    for (int i = 0; i < 8; ++i) {
        const int x = 44 + 24 * i;
        const int y = 250 - 24 * i;
        painter.drawLine(x, 56, x, y);
        painter.drawLine(x, y, 260, y);
    }
}

// ---------------------------------------------------------------- input

void TForm1::PageControl1Change() {
    if (!PageControl1->activePage()->pageEnabled())
        PageControl1->setActivePage(TabSheet1);
    CheckBox7->setChecked(false);
    CheckBox7->setEnabled(false);
    BitBtn5->setEnabled(false);
    state.LogToggled = false;
    state.LoggingActive = false;
    const int tab = PageControl1->tabIndex();
    if (tab == 1 || tab == 2) {
        BitBtn5->setEnabled(true);
        if (state.LogFileChosen)
            CheckBox7->setEnabled(true);
    }
    PageControl1->update();
}

void TForm1::ComboBox2Change() {
    bool ok = false;
    int address = ComboBox2->currentText().left(3).toInt(&ok, 10);
    if (!ok)
        address = 0;
    if (address == 21 && prompts.confirm(2) != 1)
        ComboBox2->setCurrentIndex(0);

    const int index = ComboBox2->currentIndex();
    if (index <= 0) {
        BitBtn3->setEnabled(false);
        BitBtn6->setEnabled(false);
        PageControl1->hide();
        return;
    }
    BitBtn3->setEnabled(true);
    PageControl1->show();
    if (index == 1) {
        BitBtn6->setEnabled(false);
        PageControl2->show();
        PageControl1->hide();
    } else {
        BitBtn6->setEnabled(false);
        PageControl2->hide();
        for (int i = 0; i < PageControl1->pageCount(); ++i)
            PageControl1->page(i)->setEnabled(false);
        PageControl1->setActivePage(TabSheet1);
    }
    PageControl1->update();
}

void TForm1::UpDown2Changing() {
    UpDown2->setFocus();
}

void TForm1::UpDown5Changing() {
    UpDown5->setFocus();
}

void TForm1::UpDown7Changing() {
    UpDown7->setFocus();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            TUpDown* target = nullptr;
            if (watched == Edit2 || watched == Edit3 || watched == Edit4 || watched == Edit5)
                target = UpDown2;
            else if (watched == Edit8)
                target = UpDown5;
            else if (watched == Edit11)
                target = UpDown7;
            if (target) {
                Guarded([target] { target->setFocus(); });
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::BitBtn1Click() {
    prompts.about();
}

void TForm1::BitBtn6Click() {
    // A running session prints at its next pass, between two exchanges; with
    // no session (also after one ended in an error) nothing would ever carry
    // the request out.
    if (!state.SessionRunning || state.StopRequested)
        AudruckStarten();
    else
        state.PrintRequested = true;
}

bool TForm1::PressVisibleCopyButton() {
    for (QPushButton* button : CopyButtons) {
        if (button->isVisible() && button->isEnabled()) {
            button->click();
            return true;
        }
    }
    return false;
}

void TForm1::closeEvent(QCloseEvent* event) {
    Guarded([this] { FormClose(); });
    event->accept();
}
