#pragma once
// Prints a stored message with a page header and margins through the mail library's message printer.
#include <QString>

class QPrinter;
class QWidget;

// The warning for a margin box's text, or "" when it holds a margin of 1 to 99.
QString MarginWarning(const QString& text);

// 1 Center + 2 Bold + 4 Underline.
qint32 HeaderStyle(bool center, bool bold, bool underline);

struct PrintRequest {
    QString messageFile;
    qint32 bodyPart = 0;
    QString headerText;
    qint32 headerStyle = 0;
    qint32 left = 1, top = 1, right = 1;
};

// Reads and prints the message. "" after a print; otherwise the text to show (a message-file error,
// the handle error, or a print result).
QString PrintMessageFile(const PrintRequest& request, QWidget* parent);
