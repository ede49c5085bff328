#include "tools/forms/MessagePrint.h"

#include "mail/Message.h"
#include "mail/MimeSupport.h"
#include "mail/print/MessagePrinter.h"
#include "mail/print/PrintableHtml.h"
#include "tools/MessageFiles.h"
#include "ui/PrintDialog.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>
#include <QWindow>

namespace {
QString PrintResultText(qint32 result) {
    switch (result) {
    case mail::PrintInvalidPrinter:
        return QStringLiteral("Error 202: Invalid printer.");
    case mail::PrintCannotInitialize:
        return QStringLiteral("Error 203: Could not initialize printer.");
    case mail::PrintCannotWrite:
        return QStringLiteral("Error 204: Could not write to printer.");
    case mail::PrintTooManyPictures:
        return QStringLiteral(
                   "Error 205: The message could not be printed because it shows more than %1 pictures.")
            .arg(mail::HtmlPrintLimits().maxPictures);
    case mail::PrintTooComplex:
        return QStringLiteral("Error 206: The message could not be printed because its HTML body holds more "
                              "than can be laid out in a few seconds.");
    case mail::PrintTooLong:
        return QStringLiteral("Error 207: The message could not be printed because it is too long to be "
                              "printed whole.");
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
    const QString error = MessageFileFailureText(
        message.ImportMessageFile(request.messageFile, request.bodyPart, MessageImportFlags(false), 0));
    if (!error.isEmpty())
        return error;
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
    // A long print shows how far it got and can be stopped; the window it covers takes no input meanwhile.
    // The progress window has one owner, the print window (this function when there is none), which may
    // be deleted while the print lets events run (the program closing under it): the print then stops.
    QPointer<QProgressDialog> progress = new QProgressDialog(QStringLiteral("Printing the message..."),
                                                             QStringLiteral("Cancel"), 0, 0, parent);
    progress->setWindowTitle(QStringLiteral("Print Email Message"));
    progress->setWindowModality(Qt::ApplicationModal);
    progress->setMinimumDuration(0);
    progress->setMinimumWidth(360); // room for the title
    progress->show();
    // Shown and drawn before the layout, which gives the event loop no turn until the first page.
    for (QDeadlineTimer shown(500); progress && !shown.hasExpired();) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (progress && progress->windowHandle() && progress->windowHandle()->isExposed())
            break;
    }
    QApplication::processEvents();
    if (!progress)
        return PrintResultText(mail::PrintCancelled);
    printerComponent.SetPageProgress([&progress](qint32 pages) {
        if (!progress)
            return false;
        progress->setLabelText(QStringLiteral("Printed page %1...").arg(pages));
        QApplication::processEvents();
        return progress && !progress->wasCanceled();
    });
    const QString outcome = PrintResultText(printerComponent.PrintMessage(handle, 511));
    delete progress; // null when it went with its window
    return outcome;
}
