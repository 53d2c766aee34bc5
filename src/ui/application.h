#pragma once
// The program's application object: its title is "Vandrix", and an error
// that escapes any event handler is shown in the box of last resort instead
// of ending the program.
#include <QApplication>

class Prompts;

// Qt's own texts (file and print dialogs, standard buttons) in the program's
// language: German (languageOffset 0) loads Qt's German translation, English
// uses Qt's built-in texts. Replaces the translation an earlier call loaded.
// False when the German translation is not installed.
bool LoadQtTranslations(int languageOffset);

class VandrixApplication : public QApplication {
public:
    VandrixApplication(int& argc, char** argv);
    // Where the box of last resort is shown; nullptr writes to stderr only.
    void setPrompts(Prompts* prompts) { m_prompts = prompts; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    Prompts* m_prompts = nullptr;
};
