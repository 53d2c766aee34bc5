#pragma once
// Prompts for benchmarks: nothing should ask the user anything while they
// run; say so on stderr if something does, and refuse.
#include "ui/prompts.h"

#include <cstdio>

struct ReportingPrompts : Prompts {
    void message(const QString&, const QString& text, PromptIcon) override {
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(text));
    }
    bool question(const QString&, const QString&, PromptIcon, bool) override { return false; }
    int confirm(int) override { return 3; }
    void about() override {}
    void banner() override {}
    QString saveFile(const SaveFileRequest&) override { return {}; }
    bool print(QPrinter&) override { return false; }
};
