#include "ui/last_resort.h"

#include "ui/prompts.h"

#include <cstdio>

QString UncaughtErrorText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > 46)
        return message + QLatin1Char('.');
    return message;
}

void ShowLastResortError(Prompts* prompts, const QString& message) {
    static bool showing = false;
    std::fprintf(stderr, "Vandrix: %s\n", qPrintable(message));
    if (!prompts || showing)
        return;
    showing = true;
    prompts->message(QStringLiteral("Vandrix"), UncaughtErrorText(message), PromptIcon::Error);
    showing = false;
}
