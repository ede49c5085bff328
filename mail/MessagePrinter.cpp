#include "mail/MessagePrinter.h"

#include "mail/Message.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>
#include <QUrl>

namespace mail {

namespace {

qint32 Clamp(qint32 v) {
    return qBound(1, v, 99);
}

QString BodyHtml(const PrintableMessage& m) {
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\">");
    auto row = [&html](const char* label, const QString& value) {
        if (value.isEmpty())
            return;
        html += QStringLiteral("<tr><td><b>") + QLatin1String(label) + QStringLiteral("</b></td><td>") +
                value.toHtmlEscaped() + QStringLiteral("</td></tr>");
    };
    row("From:", m.from);
    row("To:", m.to);
    row("Cc:", m.cc);
    row("Subject:", m.subject);
    row("Date:", m.date);
    html += QStringLiteral("</table><hr/>");
    if (m.bodyPart != BodyPartText && !m.htmlBody.isEmpty()) {
        html += m.htmlBody; // rendered as rich text; nothing is fetched from the network
    } else {
        html += QStringLiteral("<pre style=\"white-space: pre-wrap\">") + m.textBody.toHtmlEscaped() +
                QStringLiteral("</pre>");
    }
    return html;
}

} // namespace

void MessagePrinter::SetLeftMargin(qint32 millimetres) {
    left_ = Clamp(millimetres);
}
void MessagePrinter::SetRightMargin(qint32 millimetres) {
    right_ = Clamp(millimetres);
}
void MessagePrinter::SetTopMargin(qint32 millimetres) {
    top_ = Clamp(millimetres);
}
void MessagePrinter::SetHeaderText(const QString& text) {
    headerText_ = text;
}
void MessagePrinter::SetHeaderStyle(qint32 style) {
    headerStyle_ = style & 7;
}

qint32 MessagePrinter::PrintMessage(qint32 handle, qint32) {
    const std::shared_ptr<const PrintableMessage> message = PrintableForHandle(handle);
    if (!message)
        return PrintCannotInitialize;

    QPrinter own(QPrinter::HighResolution);
    QPrinter& printer = printer_ ? *printer_ : own;
    if (printer_) {
        // the caller chose the printer
    } else if (!pdfPath_.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath_);
    } else {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull())
            return PrintInvalidPrinter;
        printer.setPrinterName(info.printerName());
    }
    if (!printer.isValid())
        return PrintInvalidPrinter;
    printer.setPageMargins(QMarginsF(left_, top_, right_, top_), QPageLayout::Millimeter);
    printer.setDocName(message->subject);

    QPainter painter;
    if (!painter.begin(&printer))
        return PrintCannotInitialize;

    const QRectF page =
        printer.pageLayout()
            .paintRectPixels(printer.resolution())
            .translated(-printer.pageLayout().paintRectPixels(printer.resolution()).topLeft());

    // Page header
    QFont headerFont = painter.font();
    headerFont.setBold(headerStyle_ & HeaderBold);
    headerFont.setUnderline(headerStyle_ & HeaderUnderline);
    const qreal headerHeight = headerText_.isEmpty() ? 0 : QFontMetricsF(headerFont, &printer).height() * 1.8;

    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&printer);
    if (!message->htmlFolder.isEmpty())
        doc.setBaseUrl(QUrl::fromLocalFile(message->htmlFolder + QLatin1Char('/')));
    doc.setHtml(BodyHtml(*message));
    const QSizeF bodySize(page.width(), page.height() - headerHeight);
    doc.setPageSize(bodySize);
    const int pages = qMax(1, doc.pageCount());

    for (int p = 0; p < pages; ++p) {
        if (p > 0 && !printer.newPage()) {
            painter.end();
            return PrintCannotWrite;
        }
        if (!headerText_.isEmpty()) {
            painter.save();
            painter.setFont(headerFont);
            const Qt::Alignment align = (headerStyle_ & HeaderCenter) ? Qt::AlignHCenter : Qt::AlignLeft;
            painter.drawText(QRectF(0, 0, page.width(), headerHeight), align | Qt::AlignTop, headerText_);
            painter.restore();
        }
        painter.save();
        painter.translate(0, headerHeight - p * bodySize.height());
        const QRectF clip(0, p * bodySize.height(), bodySize.width(), bodySize.height());
        doc.drawContents(&painter, clip);
        painter.restore();
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return PrintCannotWrite;
    return PrintOk;
}

} // namespace mail
