#include "ui/application.h"

#include "ui/main_window.h"
#include "ui/prompts.h"

#include <QStyleFactory>
#include <cstdio>

VandrixApplication::VandrixApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The application name only: a display name would be appended to every
    // window title on X11 ("Vandrix  |  Version 1.41 — Vandrix").
    setApplicationName(QStringLiteral("Vandrix"));
    // One look everywhere; the window's fixed layout was drawn for it.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        setStyle(fusion);
}

bool VandrixApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        report(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        report(QStringLiteral("Unknown error"));
    }
    return false;
}

void VandrixApplication::report(const QString& message) {
    std::fprintf(stderr, "Vandrix: %s\n", qPrintable(message));
    // An error inside the box itself is not shown again.
    if (!m_prompts || m_reporting)
        return;
    m_reporting = true;
    m_prompts->message(QStringLiteral("Vandrix"), UncaughtErrorText(message), PromptIcon::Error);
    m_reporting = false;
}
