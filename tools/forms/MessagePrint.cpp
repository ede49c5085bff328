#include "tools/forms/MessagePrint.h"

#include "mail/Message.h"
#include "mail/MimeSupport.h"
#include "mail/print/MessagePrinter.h"
#include "tools/MessageFiles.h"
#include "ui/PrintDialog.h"

#include <QPrinter>

namespace {
QString PrintResultText(qint32 result) {
    switch (result) {
    case mail::PrintInvalidPrinter:
        return QStringLiteral("Error 202: Invalid printer.");
    case mail::PrintCannotInitialize:
        return QStringLiteral("Error 203: Could not initialize printer.");
    case mail::PrintCannotWrite:
        return QStringLiteral("Error 204: Could not write to printer.");
    case mail::PrintCancelled:
        return QStringLiteral("Error 255: Cancelled by user.");
    default:
        return QString();
    }
}
} // namespace

QString MarginWarning(const QString& text) {
    if (text.isEmpty())
        return QStringLiteral("Please enter your margin.");
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > 99)
        return QStringLiteral("Please enter a valid margin.");
    return QString();
}

qint32 HeaderStyle(bool center, bool bold, bool underline) {
    return (center ? 1 : 0) + (bold ? 2 : 0) + (underline ? 4 : 0);
}

QString PrintMessageFile(const PrintRequest& request, QWidget* parent) {
    mail::Message message;
    const qint32 result =
        message.ImportMessageFile(request.messageFile, request.bodyPart, MessageImportFlags(false), 0);
    const QString error = MessageFileErrorText(result);
    if (!error.isEmpty())
        return error;
    if (result != mail::MessageOk)
        return MessageFileErrorText(mail::MessageException);
    const qint32 handle = message.GetMessageHandle();
    if (handle == 0)
        return QStringLiteral("There was an error creating the message handle.");

    QPrinter printer(QPrinter::HighResolution);
    // The print dialog offers "<document name>.pdf" when printing to a file: no folder parts in it.
    QString docName = message.GetSubject();
    docName.replace(QLatin1Char('/'), QLatin1Char('-')).replace(QLatin1Char('\\'), QLatin1Char('-'));
    printer.setDocName(mail::SafePartName(mail::CutToUtf8Bytes(docName, 200), QStringLiteral("Message")));
    const bool accepted = AskPrinter(parent, printer, QStringLiteral("Print Email Message"));
    if (!accepted)
        return PrintResultText(mail::PrintCancelled);

    mail::MessagePrinter printerComponent;
    printerComponent.SetPrinter(&printer);
    printerComponent.SetHeaderText(request.headerText);
    printerComponent.SetHeaderStyle(request.headerStyle);
    printerComponent.SetLeftMargin(request.left);
    printerComponent.SetTopMargin(request.top);
    printerComponent.SetRightMargin(request.right);
    return PrintResultText(printerComponent.PrintMessage(handle, 511));
}
