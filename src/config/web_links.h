#pragma once
// The program's web addresses and link captions: shown by the About and
// banner windows, and written into every measurement log's first line.
#include <QString>

namespace WebLinks {
inline const QString InfoPage = QStringLiteral("https://www.vandrix.example/");
inline const QString InfoCaption = QStringLiteral("Vandrix Online");
inline const QString ShopPage = QStringLiteral("https://shop.vandrix.example/");
inline const QString ShopCaption = QStringLiteral("Vandrix Shop");
inline const QString BannerPage = QStringLiteral("https://shop.vandrix.example/pro-interface");
} // namespace WebLinks
