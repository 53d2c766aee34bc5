#include "ui/application.h"

#include "ui/last_resort.h"

#include <QStyleFactory>

VandrixApplication::VandrixApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The application name only: a display name would be appended to every
    // window title on X11 ("Vandrix  |  Version 1.41 — Vandrix").
    setApplicationName(QStringLiteral("Vandrix"));
    // One look everywhere; the window's fixed layout was drawn for it.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        setStyle(fusion);
}

bool VandrixApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    RunGuarded(m_prompts, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
