#pragma once
// Opening a web page in the user's browser without making a dialog wait for
// it: the hand-over to the desktop runs on a short-lived thread of its own.
#include "config/web_links.h"

#include <QString>
#include <functional>

void OpenWebPage(const QString& url);
// Tests catch the address instead of starting a browser; nullptr restores.
void SetWebPageOpener(std::function<void(const QString&)> opener);
