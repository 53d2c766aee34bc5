// Controls the team added to the fixed layout, each in room the layout
// leaves free, so no specified control moves: the graph button beside the
// Group page's copy button, the last change and its undo between the coding
// page's two boxes and above the adaptation page's help text, and the line
// under the search report that says where the report was kept. Where no
// room is left, the window's context menu: the graph, which also opens
// without a session to view a log.
#include "config/strings.h"
#include "ui/fonts.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>

namespace {

QPushButton* addedButton(QPushButton*& m, const char* name, QWidget* parent, const QRect& where) {
    m = new QPushButton(parent);
    m->setObjectName(QLatin1String(name));
    m->setGeometry(where);
    m->setFont(Fonts::msSansSerif());
    m->setAutoDefault(false);
    return m;
}

TLabel* addedLabel(TLabel*& m, const char* name, QWidget* parent, const QRect& where) {
    m = new TLabel(parent);
    m->setObjectName(QLatin1String(name));
    m->setGeometry(where);
    m->setFont(Fonts::verdana(11));
    return m;
}

} // namespace

void TForm1::createAddedControls() {
    addedButton(GraphButton, "GraphButton", TabSheet2, QRect(528, 16, 81, 25));

    addedLabel(CodingLastChange, "CodingLastChange", TabSheet4, QRect(24, 139, 201, 16))->hide();
    addedButton(CodingUndoButton, "CodingUndoButton", TabSheet4, QRect(24, 157, 201, 25))->hide();
    addedLabel(AdaptationLastChange, "AdaptationLastChange", TabSheet8, QRect(368, 106, 329, 16))
        ->hide();
    addedButton(AdaptationUndoButton, "AdaptationUndoButton", TabSheet8, QRect(368, 123, 161, 23))
        ->hide();

    // Left of the interface check button, which shares the row.
    addedLabel(ScanSavedLabel, "ScanSavedLabel", TabSheet7, QRect(224, 398, 329, 17));

    WindowMenu = new QMenu(this);
    WindowMenu->setObjectName(QStringLiteral("WindowMenu"));
    GraphAction = WindowMenu->addAction(QString());
    GraphAction->setObjectName(QStringLiteral("GraphAction"));
    connect(GraphAction, &QAction::triggered, this,
            [this] { Guarded([this] { GraphButtonClick(); }); });

    auto onClick = [this](QPushButton* button, void (TForm1::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { Guarded([&] { (this->*handler)(); }); });
    };
    onClick(GraphButton, &TForm1::GraphButtonClick);
    onClick(CodingUndoButton, &TForm1::CodingUndoClick);
    onClick(AdaptationUndoButton, &TForm1::AdaptationUndoClick);
}

void TForm1::setAddedCaptions() {
    GraphButton->setText(Str(TeamText::GraphButton));
    GraphAction->setText(Str(TeamText::GraphButton) + QStringLiteral("..."));
    // The log file's dialog, here because its filter is a text of the language.
    SaveDialog1.filter = Str(ReaderText::GraphReadingsFilter);
}

void TForm1::contextMenuEvent(QContextMenuEvent* event) {
    // Reaches here from the free parts of the window, its boxes and pages:
    // every enabled control without a menu of its own passes it on.
    WindowMenu->popup(event->globalPos());
}
