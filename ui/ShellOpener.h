#pragma once
// Opening a file with the program the desktop associates with its type (a log, a saved message, an
// import report) and a web address in the user's browser (the home page, the installer, the online
// support page). Tests put recorders in place so that nothing is ever shown in an editor or browser.
#include <QString>
#include <functional>

class QWidget;

// Answers true when the request was accepted (what is then shown is up to the associated program).
using FileOpener = std::function<bool(const QString& path)>;
using WebPageOpener = std::function<bool(const QString& url)>;

bool OpenWithAssociatedProgram(const QString& path);
// The same; when the desktop has no program for the file the click would show nothing, and the file
// lies in a folder the user would not look in: a message says where it is ("The <what> could not be
// opened. It is stored in the file:" and the path).
void OpenOrShowWhere(QWidget* parent, const QString& path, const QString& what);
// True when the desktop accepted the address; what the browser then does is its own business.
bool OpenWebPage(const QString& url);

// Put an opener in place of the desktop's; an empty one gives the desktop's back.
void SetFileOpenerForTesting(FileOpener opener);
void SetWebPageOpenerForTesting(WebPageOpener opener);
