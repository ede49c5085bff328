#pragma once
// Printing plain text lines (the SMTP server probe's Print Log).
#include <QStringList>

class QPrinter;

// Prints the lines as plain text, one after the other; false on any printing error.
bool PrintTextLines(QPrinter& printer, const QStringList& lines);
