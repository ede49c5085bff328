#pragma once
// The print dialog of the Print command. Tests answer it through the hook (and point the printer at a
// PDF file), so nothing ever reaches a real printer.
#include <functional>

class QPrinter;
class QWidget;

// Shows the print dialog for the printer; true when the user chose to print.
bool AskPrinter(QWidget* parent, QPrinter& printer);

using PrintDialogHook = std::function<bool(QPrinter& printer)>;
void SetPrintDialogHook(PrintDialogHook hook);
