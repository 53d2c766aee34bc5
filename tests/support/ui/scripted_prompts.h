#pragma once
// Prompts for tests: each expected prompt is queued with its answer; a prompt
// that comes out of turn, or that nobody expected, fails the test and gets a
// refusal. Every prompt shown is recorded for later checks.
#include "ui/prompts.h"

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QApplication;

enum class PromptKind { Message, Question, Confirm, About, Banner, SaveFile, OpenFile, Print };
const char* PromptKindName(PromptKind kind);

struct ShownPrompt {
    explicit ShownPrompt(PromptKind k, const QString& c = QString(), const QString& t = QString(),
                         PromptIcon i = PromptIcon::None, int g = 0)
        : kind(k), caption(c), text(t), icon(i), tag(g) {}
    PromptKind kind;
    QString caption;
    QString text;
    PromptIcon icon = PromptIcon::None;
    int tag = 0;
    QString filter; // of a file dialog
};

class ScriptedPrompts : public Prompts {
public:
    ScriptedPrompts() = default;
    // Fails the test for every expected prompt that never came.
    ~ScriptedPrompts() override;

    // A null text or caption matches anything; otherwise exact comparison.
    ScriptedPrompts& expectMessage(const QString& text = QString(),
                                   const QString& caption = QString(),
                                   std::optional<PromptIcon> icon = std::nullopt);
    ScriptedPrompts& expectMessageContaining(const QString& fragment);
    ScriptedPrompts& expectQuestion(bool answerYes, const QString& text = QString());
    ScriptedPrompts& expectConfirm(int tag, int result);
    ScriptedPrompts& expectAbout();
    ScriptedPrompts& expectBanner();
    // An empty path answers like a cancelled dialog.
    ScriptedPrompts& expectSaveFile(const QString& path);
    ScriptedPrompts& expectOpenFile(const QString& path);
    // On acceptance the printer writes a PDF to pdfPath (when given).
    ScriptedPrompts& expectPrint(bool accept, const QString& pdfPath = QString(), int copies = 1);
    // Runs while the last queued prompt is open, as a user acting behind it.
    ScriptedPrompts& during(std::function<void()> action);

    int pending() const { return int(m_expected.size()); }
    const std::vector<ShownPrompt>& shown() const { return m_shown; }
    // Checks now that nothing expected is left, and forgets it.
    void verifyDone();

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
    struct Expected {
        explicit Expected(PromptKind k) : kind(k) {}
        PromptKind kind;
        QString text;
        QString caption;
        bool textIsFragment = false;
        std::optional<PromptIcon> icon;
        int tag = 0;
        int result = 0;
        QString path;
        int copies = 1;
        std::function<void()> during;
    };
    // The matching expectation, or nothing after reporting a failure.
    std::optional<Expected> take(const ShownPrompt& prompt);

    std::deque<Expected> m_expected;
    std::vector<ShownPrompt> m_shown;
};

// The application object of widget tests, made once, on the offscreen
// platform unless the environment names another.
QApplication& UiTestApp();
