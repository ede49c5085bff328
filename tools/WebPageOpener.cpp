#include "tools/WebPageOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
WebPageOpener& replacement() {
    static WebPageOpener opener;
    return opener;
}
} // namespace

bool OpenWebPage(const QString& url) {
    if (replacement())
        return replacement()(url);
    return QDesktopServices::openUrl(QUrl(url, QUrl::StrictMode));
}

void SetWebPageOpenerForTesting(WebPageOpener opener) {
    replacement() = std::move(opener);
}
