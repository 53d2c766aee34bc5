#include "ui/dialog_prompts.h"

#include "ui/dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace {
QMessageBox::Icon boxIcon(PromptIcon icon) {
    switch (icon) {
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Warning:
        return QMessageBox::Warning;
    case PromptIcon::Error:
        return QMessageBox::Critical;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A box without a caption carries the application's title.
QString boxTitle(const QString& caption) {
    return caption.isEmpty() ? QCoreApplication::applicationName() : caption;
}
} // namespace

void DialogPrompts::setDialogs(TForm2* about, TForm3* banner, TForm4* confirmation) {
    m_about = about;
    m_banner = banner;
    m_confirmation = confirmation;
}

void DialogPrompts::message(const QString& caption, const QString& text, PromptIcon icon) {
    QMessageBox box(boxIcon(icon), boxTitle(caption), text, QMessageBox::Ok, m_parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

bool DialogPrompts::question(const QString& caption, const QString& text, PromptIcon icon,
                             bool defaultYes) {
    QMessageBox box(boxIcon(icon), boxTitle(caption), text, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

int DialogPrompts::confirm(int tag) {
    if (!m_confirmation)
        return 3;
    m_confirmation->Tag = tag;
    return m_confirmation->ShowModal();
}

void DialogPrompts::about() {
    if (m_about)
        m_about->exec();
}

void DialogPrompts::banner() {
    if (m_banner)
        m_banner->exec();
}

QString DialogPrompts::saveFile(const SaveFileRequest& request) {
    QFileDialog dialog(m_parent, request.title, request.directory, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    // The log appends to an existing file; a "replace it?" question would mislead.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, false);
    dialog.setSizeGripEnabled(true);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString DialogPrompts::openFile(const SaveFileRequest& request) {
    QFileDialog dialog(m_parent, request.title, request.directory, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

bool DialogPrompts::print(QPrinter& printer) {
    QPrintDialog dialog(&printer, m_parent);
    return dialog.exec() == QDialog::Accepted;
}
