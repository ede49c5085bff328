#pragma once
// Printing plain text lines, with a print dialog tests can answer.
#include <QStringList>

#include <functional>

class QPrinter;
class QWidget;

// The print dialog (title "Print"); false when it was cancelled. Tests answer it through the hook, which
// sets the printer up (a PDF file) or returns false for a cancel.
using PrintDialogHook = std::function<bool(QPrinter& printer)>;
bool ChoosePrinter(QWidget* parent, QPrinter& printer);
void SetPrintDialogHookForTesting(PrintDialogHook hook);

// Prints the lines as plain text, one after the other; false on any printing error.
bool PrintTextLines(QPrinter& printer, const QStringList& lines);
