#pragma once
// The print dialog of every command that prints. Tests answer it through the hook (and point the printer
// at a PDF file), so nothing ever reaches a real printer.
#include <QString>

#include <functional>

class QPrinter;
class QWidget;

// Shows the print dialog, titled as given, for the printer; true when the user chose to print.
bool AskPrinter(QWidget* parent, QPrinter& printer, const QString& title = QStringLiteral("Print"));

using PrintDialogHook = std::function<bool(QPrinter& printer)>;
void SetPrintDialogHook(PrintDialogHook hook);
