#pragma once
#include <QString>

// Removes leading and trailing blanks: the space character only, never tabs or line breaks.
QString TrimBlanks(const QString& text);
