#include "tools/forms/TextPrinting.h"

#include <QPrinter>
#include <QTextDocument>

bool PrintTextLines(QPrinter& printer, const QStringList& lines) {
    if (!printer.isValid())
        return false;
    QTextDocument document;
    QString text = lines.join(u'\n');
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    document.setPlainText(text);
    document.print(&printer);
    return printer.printerState() != QPrinter::Error && printer.printerState() != QPrinter::Aborted;
}
