#pragma once
// Opening a web address in the user's browser (the installer, the online support page). Tests put a
// recorder in place so that no browser is ever started.
#include <QString>
#include <functional>

using WebPageOpener = std::function<bool(const QString& url)>;

// True when the desktop accepted the request; what the browser then does is its own business.
bool OpenWebPage(const QString& url);

// Puts an opener in place of the desktop's; an empty one gives the desktop's back.
void SetWebPageOpenerForTesting(WebPageOpener opener);
