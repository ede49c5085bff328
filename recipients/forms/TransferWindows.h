#pragma once
#include <functional>

class QWidget;

// The Group Manager's Import and Export buttons open the import and export windows through these
// hooks, so this area need not link them. The transfer area (or the program's start-up) sets them; the
// hook shows its window modally over the given parent and returns when it has closed. While a hook is
// empty the button does nothing after its checks. The import hook returns whether an import ran (the
// group may have changed, even when the run ended in a failure).
std::function<bool(QWidget* parent)>& OpenRecipientImportWindow();
std::function<void(QWidget* parent)>& OpenRecipientExportWindow();
