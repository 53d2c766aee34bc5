#pragma once
// Opening a web page in the user's browser without making a dialog wait for
// it: the hand-over to the desktop runs on a short-lived thread of its own.
#include <QString>
#include <functional>

void OpenWebPage(const QString& url);
// Tests catch the address instead of starting a browser; nullptr restores.
void SetWebPageOpener(std::function<void(const QString&)> opener);

// The addresses and link captions of the About and banner windows.
namespace WebLinks {
inline const QString InfoPage = QStringLiteral("https://www.vandrix.example/");
inline const QString InfoCaption = QStringLiteral("Vandrix Online");
inline const QString ShopPage = QStringLiteral("https://shop.vandrix.example/");
inline const QString ShopCaption = QStringLiteral("Vandrix Shop");
inline const QString BannerPage = QStringLiteral("https://shop.vandrix.example/pro-interface");
} // namespace WebLinks
