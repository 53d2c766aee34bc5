#pragma once
// The small pictures on the window's buttons, drawn in code so that they look
// the same on every system and need no files beside the program.
#include <QIcon>

enum class Glyph {
    Connect,
    Disconnect,
    LogFile,
    Help,
    Print,
    Copy,
    ClearCodes,
    Reprogram,
    Login,
    Start,
    Ok,
    Cancel,
};

QIcon GlyphIcon(Glyph glyph);
