#include "ui/web_page.h"

#include <QProcess>
#include <QStringList>
#include <mutex>
#include <thread>

namespace {
std::mutex openerMutex;
std::function<void(const QString&)> testOpener;
} // namespace

void SetWebPageOpener(std::function<void(const QString&)> opener) {
    std::lock_guard lock(openerMutex);
    testOpener = std::move(opener);
}

void OpenWebPage(const QString& url) {
    {
        std::lock_guard lock(openerMutex);
        if (testOpener) {
            testOpener(url);
            return;
        }
    }
    // The thread touches nothing but its own copy of the address.
    std::thread([url] { QProcess::startDetached(QStringLiteral("xdg-open"), {url}); }).detach();
}
