#pragma once
// The program's prompts: real, modal dialogs over the main window.
#include "ui/prompts.h"

#include <QPointer>
#include <QWidget>

class TForm2;
class TForm3;
class TForm4;

class DialogPrompts : public Prompts {
public:
    DialogPrompts() = default;

    // The window the boxes are centred over.
    void setParentWidget(QWidget* parent) { m_parent = parent; }
    // The three dialogs exist from program start on (created after the main
    // window); until then confirm, about and banner refuse quietly.
    void setDialogs(TForm2* about, TForm3* banner, TForm4* confirmation);

    void message(const QString& caption, const QString& text, PromptIcon icon) override;
    bool question(const QString& caption, const QString& text, PromptIcon icon,
                  bool defaultYes) override;
    int confirm(int tag) override;
    void about() override;
    void banner() override;
    QString saveFile(const SaveFileRequest& request) override;
    QString openFile(const SaveFileRequest& request) override;
    bool print(QPrinter& printer) override;

private:
    QPointer<QWidget> m_parent;
    QPointer<TForm2> m_about;
    QPointer<TForm3> m_banner;
    QPointer<TForm4> m_confirmation;
};
