#pragma once
// The box of last resort: an error that escaped an event handler is shown in
// a box titled "Vandrix" and the program goes on with the next event. The
// window's handlers and the application's event delivery both end here.
#include <QString>
#include <exception>

class Prompts;

// The box's text: "." is added unless the message already ends in a
// character at or below "." (46).
QString UncaughtErrorText(const QString& message);

// Writes the message to stderr and shows the box through prompts (none: only
// stderr). One box at a time: an error raised while it is open, by a handler
// running behind it, goes to stderr only.
void ShowLastResortError(Prompts* prompts, const QString& message);

// Runs handler; an error that escapes it goes to the box of last resort.
// True when the handler returned normally.
template <typename F> bool RunGuarded(Prompts* prompts, F&& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& error) {
        ShowLastResortError(prompts, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowLastResortError(prompts, QStringLiteral("Unknown error"));
    }
    return false;
}
