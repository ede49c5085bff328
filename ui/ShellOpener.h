#pragma once
// Opening a file with the program the desktop associates with its type (a log, a saved message, an
// import report). Tests put a recorder in place so that nothing is ever shown in an editor or browser.
#include <QString>
#include <functional>

// Answers true when the request was accepted (what is then shown is up to the associated program).
using FileOpener = std::function<bool(const QString& path)>;

bool OpenWithAssociatedProgram(const QString& path);
// A web page in the desktop's browser; the test opener receives the address.
bool OpenWebPage(const QString& address);

// Puts an opener in place of the desktop's; an empty one gives the desktop's back.
void SetFileOpenerForTesting(FileOpener opener);
