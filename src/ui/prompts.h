#pragma once
// The one gateway for everything that waits on the user: message boxes, Yes/No
// questions, the confirmation dialog, the About and banner windows, the save,
// open and print dialogs. The program shows real dialogs (DialogPrompts); tests
// answer them from a script and fail on any prompt they did not expect.
#include <QString>

class QPrinter;

enum class PromptIcon { None, Information, Warning, Error, Question };

// What a save dialog offers; the window keeps one as SaveDialog1.
struct SaveFileRequest {
    QString title;
    QString directory;
    QString fileName;
    QString filter;        // "Comma Separated Values (*.csv)"
    QString defaultSuffix; // "csv"
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // A modal box with an OK button. An empty caption stays empty.
    virtual void message(const QString& caption, const QString& text,
                         PromptIcon icon = PromptIcon::None) = 0;
    // Yes and No buttons; true for Yes. defaultYes picks the button Enter presses.
    virtual bool question(const QString& caption, const QString& text,
                          PromptIcon icon = PromptIcon::Question, bool defaultYes = false) = 0;
    // The confirmation dialog TForm4 with the given Tag (1 clear fault codes,
    // 2 airbag unit, 3 output test). 1: OK with the box ticked; 2: OK without
    // it, or closed; 3: "Abbrechen". Only 1 allows the action.
    virtual int confirm(int tag) = 0;
    // The About dialog TForm2.
    virtual void about() = 0;
    // The banner window TForm3.
    virtual void banner() = 0;
    // The chosen file, or the empty text when the user cancelled.
    virtual QString saveFile(const SaveFileRequest& request) = 0;
    // An existing file to read, or the empty text when the user cancelled.
    // Gateways without an open dialog answer as if cancelled.
    virtual QString openFile(const SaveFileRequest& request) {
        (void)request;
        return QString();
    }
    // The print dialog on printer (copies, printer choice); false when cancelled.
    virtual bool print(QPrinter& printer) = 0;
};
