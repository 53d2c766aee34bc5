#include "ui/application.h"

#include "ui/last_resort.h"

#include "config/app_paths.h"
#include "config/strings.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>
#include <cstdio>
#include <memory>

bool LoadQtTranslations(int languageOffset) {
    static QTranslator* loaded = nullptr;
    if (loaded) {
        QCoreApplication::removeTranslator(loaded);
        delete loaded;
        loaded = nullptr;
    }
    if (languageOffset >= EnglishStringOffset)
        return true;
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder)) {
        qCWarning(lcFiles) << "no German translation of Qt in" << folder;
        return false;
    }
    qCDebug(lcFiles) << "Qt translation" << translator->filePath();
    loaded = translator.release();
    QCoreApplication::installTranslator(loaded);
    return true;
}

VandrixApplication::VandrixApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The application name only: a display name would be appended to every
    // window title on X11 ("Vandrix  |  Version 1.41 — Vandrix").
    setApplicationName(QStringLiteral("Vandrix"));
    // The desktop entry's name, so a Wayland desktop shows the entry's icon.
    setDesktopFileName(QStringLiteral("example.vandrix.Vandrix"));
    // Every window shows the program's icon, also where the desktop does
    // not match it to its entry.
    setWindowIcon(QIcon(QStringLiteral(":/vandrix/icon.png")));
    // One look everywhere; the window's fixed layout was drawn for it.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        setStyle(fusion);
}

bool VandrixApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    RunGuarded(m_prompts, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
