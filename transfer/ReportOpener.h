#pragma once
#include <QString>
#include <functional>

// Opens a file with the program the desktop associates with its type. Tests replace the opener so that
// nothing is ever shown in an editor or browser.
using FileOpener = std::function<bool(const QString& path)>;
bool OpenWithAssociatedProgram(const QString& path);
void SetFileOpenerForTesting(FileOpener opener);
