#include "support/ui/scripted_prompts.h"

#include "ui/application.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

const char* PromptKindName(PromptKind kind) {
    switch (kind) {
    case PromptKind::Message:
        return "message";
    case PromptKind::Question:
        return "question";
    case PromptKind::Confirm:
        return "confirmation";
    case PromptKind::About:
        return "About dialog";
    case PromptKind::Banner:
        return "banner";
    case PromptKind::SaveFile:
        return "save dialog";
    case PromptKind::OpenFile:
        return "open dialog";
    case PromptKind::Print:
        return "print dialog";
    }
    return "?";
}

namespace {
std::string describe(const ShownPrompt& p) {
    QString d = QString::fromLatin1(PromptKindName(p.kind));
    if (p.kind == PromptKind::Confirm)
        d += QStringLiteral(" tag %1").arg(p.tag);
    if (!p.caption.isEmpty())
        d += QStringLiteral(" [") + p.caption + QStringLiteral("]");
    if (!p.text.isEmpty())
        d += QStringLiteral(" \"") + p.text + QStringLiteral("\"");
    return d.toStdString();
}
} // namespace

ScriptedPrompts::~ScriptedPrompts() {
    verifyDone();
}

void ScriptedPrompts::verifyDone() {
    for (const Expected& e : m_expected)
        ADD_FAILURE() << "expected " << PromptKindName(e.kind) << " never came"
                      << (e.text.isNull() ? "" : ": \"" + e.text.toStdString() + "\"");
    m_expected.clear();
}

ScriptedPrompts& ScriptedPrompts::expectMessage(const QString& text, const QString& caption,
                                                std::optional<PromptIcon> icon) {
    Expected e(PromptKind::Message);
    e.text = text;
    e.caption = caption;
    e.icon = icon;
    m_expected.push_back(e);
    return *this;
}

ScriptedPrompts& ScriptedPrompts::expectMessageContaining(const QString& fragment) {
    Expected e(PromptKind::Message);
    e.text = fragment;
    e.textIsFragment = true;
    m_expected.push_back(e);
    return *this;
}

ScriptedPrompts& ScriptedPrompts::expectQuestion(bool answerYes, const QString& text) {
    Expected e(PromptKind::Question);
    e.text = text;
    e.result = answerYes ? 1 : 0;
    m_expected.push_back(e);
    return *this;
}

ScriptedPrompts& ScriptedPrompts::expectConfirm(int tag, int result) {
    Expected e(PromptKind::Confirm);
    e.tag = tag;
    e.result = result;
    m_expected.push_back(e);
    return *this;
}

ScriptedPrompts& ScriptedPrompts::expectAbout() {
    m_expected.emplace_back(PromptKind::About);
    return *this;
}

ScriptedPrompts& ScriptedPrompts::expectBanner() {
    m_expected.emplace_back(PromptKind::Banner);
    return *this;
}

ScriptedPrompts& ScriptedPrompts::expectSaveFile(const QString& path) {
    Expected e(PromptKind::SaveFile);
    e.path = path;
    m_expected.push_back(e);
    return *this;
}

ScriptedPrompts& ScriptedPrompts::expectOpenFile(const QString& path) {
    Expected e(PromptKind::OpenFile);
    e.path = path;
    m_expected.push_back(e);
    return *this;
}

ScriptedPrompts& ScriptedPrompts::expectPrint(bool accept, const QString& pdfPath, int copies) {
    Expected e(PromptKind::Print);
    e.result = accept ? 1 : 0;
    e.path = pdfPath;
    e.copies = copies;
    m_expected.push_back(e);
    return *this;
}

ScriptedPrompts& ScriptedPrompts::during(std::function<void()> action) {
    if (m_expected.empty())
        ADD_FAILURE() << "during() needs a queued prompt";
    else
        m_expected.back().during = std::move(action);
    return *this;
}

std::optional<ScriptedPrompts::Expected> ScriptedPrompts::take(const ShownPrompt& prompt) {
    m_shown.push_back(prompt);
    if (m_expected.empty()) {
        ADD_FAILURE() << "unexpected " << describe(prompt);
        return std::nullopt;
    }
    const Expected e = m_expected.front();
    bool matches = e.kind == prompt.kind;
    if (matches && !e.text.isNull())
        matches = e.textIsFragment ? prompt.text.contains(e.text) : prompt.text == e.text;
    if (matches && !e.caption.isNull())
        matches = prompt.caption == e.caption;
    if (matches && e.icon)
        matches = *e.icon == prompt.icon;
    if (matches && e.kind == PromptKind::Confirm)
        matches = e.tag == prompt.tag;
    if (!matches) {
        ADD_FAILURE() << "expected " << PromptKindName(e.kind)
                      << (e.text.isNull() ? "" : " \"" + e.text.toStdString() + "\"")
                      << (e.kind == PromptKind::Confirm ? " tag " + std::to_string(e.tag) : "")
                      << ", got " << describe(prompt);
        m_expected.pop_front(); // reported once, not again as missing
        return std::nullopt;
    }
    m_expected.pop_front();
    if (e.during)
        e.during();
    return e;
}

void ScriptedPrompts::message(const QString& caption, const QString& text, PromptIcon icon) {
    take(ShownPrompt(PromptKind::Message, caption, text, icon));
}

bool ScriptedPrompts::question(const QString& caption, const QString& text, PromptIcon icon, bool) {
    const auto e = take(ShownPrompt(PromptKind::Question, caption, text, icon));
    return e && e->result == 1;
}

int ScriptedPrompts::confirm(int tag) {
    const auto e =
        take(ShownPrompt(PromptKind::Confirm, QString(), QString(), PromptIcon::None, tag));
    return e ? e->result : 3;
}

void ScriptedPrompts::about() {
    take(ShownPrompt(PromptKind::About));
}

void ScriptedPrompts::banner() {
    take(ShownPrompt(PromptKind::Banner));
}

QString ScriptedPrompts::saveFile(const SaveFileRequest& request) {
    ShownPrompt shown(PromptKind::SaveFile, request.title, request.fileName);
    shown.filter = request.filter;
    const auto e = take(shown);
    return e ? e->path : QString();
}

QString ScriptedPrompts::openFile(const SaveFileRequest& request) {
    ShownPrompt shown(PromptKind::OpenFile, request.title, request.directory);
    shown.filter = request.filter;
    const auto e = take(shown);
    return e ? e->path : QString();
}

bool ScriptedPrompts::print(QPrinter& printer) {
    // The dialog's state as the user finds it: output file and copies.
    const auto e = take(ShownPrompt(PromptKind::Print, QString(), printer.outputFileName(),
                                    PromptIcon::None, printer.copyCount()));
    if (!e || e->result != 1)
        return false;
    if (!e->path.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(e->path);
    }
    printer.setCopyCount(e->copies);
    return true;
}

QApplication& UiTestApp() {
    static int argc = 1;
    static char name[] = "vandrix-test";
    static char* argv[] = {name, nullptr};
    // Recordings and other user files never go to the user's own folders.
    static QTemporaryDir userData;
    static VandrixApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_DATA_HOME", QFile::encodeName(userData.path()));
        return new VandrixApplication(argc, argv);
    }();
    return *app;
}
