#include "mail/print/MessagePrinter.h"

#include "mail/Message.h"
#include "mail/print/PageWriter.h"
#include "mail/print/PrintableHtml.h"
#include "mail/print/TextBodyPages.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

namespace mail {

namespace {

qint32 Clamp(qint32 v) {
    return qBound(1, v, 99);
}

// The message headers above the body.
QString HeadHtml(const PrintableMessage& m) {
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
    return html + QStringLiteral("</table><hr/>");
}

qint32 RefusalFor(HtmlPrintVerdict verdict) {
    return verdict == HtmlPrintVerdict::TooManyPictures ? PrintTooManyPictures : PrintTooComplex;
}

// The printed body: pictures and style sheets come only from the message itself, its parts by content
// id and the files of its own body folder. Any other address loads as nothing: a local file (a device
// without end, a file of the user's pulled into the printout) as much as the network.
class MessageDocument : public QTextDocument {
public:
    explicit MessageDocument(const PrintableMessage& message) : m_message(message) {
        setUndoRedoEnabled(false); // the removals below are no edits to undo
        if (!message.htmlFolder.isEmpty())
            m_folder = QFileInfo(message.htmlFolder).canonicalFilePath();
        if (!m_folder.isEmpty())
            setBaseUrl(QUrl::fromLocalFile(m_folder + QLatin1Char('/')));
    }

    // Qt's picture drawing falls back to opening a picture's name as a file when the document gives
    // no picture for it: every picture the message may not show leaves the document before layout.
    void DropForeignPictures() {
        QList<int> positions;
        for (QTextBlock block = begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                if (!format.isImageFormat())
                    continue;
                const QVariant picture = resource(ImageResource, QUrl(format.toImageFormat().name()));
                if (picture.userType() != QMetaType::QImage)
                    for (int i = 0; i < it.fragment().length(); ++i)
                        positions.append(it.fragment().position() + i);
            }
        }
        // From the end, so that the positions still ahead stay where they were.
        for (auto p = positions.crbegin(); p != positions.crend(); ++p) {
            QTextCursor cursor(this);
            cursor.setPosition(*p);
            cursor.setPosition(*p + 1, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
    }

    // Preformatted text and cells that must not wrap would run off the right edge of the paper, which
    // shows a long line's first hundred characters only: on paper every line wraps at the page width.
    void WrapEveryLine() {
        for (QTextBlock block = begin(); block.isValid(); block = block.next()) {
            if (!block.blockFormat().nonBreakableLines())
                continue;
            QTextBlockFormat format;
            format.setNonBreakableLines(false);
            QTextCursor(block).mergeBlockFormat(format);
        }
    }

protected:
    QVariant loadResource(int type, const QUrl& name) override {
        QVariant found = ownResource(type, name);
        if (type == ImageResource) {
            // Pictures go back decoded, or not at all, so that nothing else is tried for them.
            QImage picture;
            if (found.userType() == QMetaType::QByteArray && picture.loadFromData(found.toByteArray()))
                found = picture;
            else if (found.userType() == QMetaType::QPixmap) // what Qt makes of a data: picture
                found = qvariant_cast<QPixmap>(found).toImage();
            if (found.userType() != QMetaType::QImage)
                return {};
        }
        if (found.isValid())
            addResource(type, name, found); // read and decoded once, however often it is asked for
        return found;
    }

private:
    QVariant ownResource(int type, const QUrl& name) {
        const QString scheme = name.scheme().toLower();
        if (scheme == QLatin1String("cid"))
            return part(name);
        if (scheme == QLatin1String("data"))
            return QTextDocument::loadResource(type, name); // inside the message's own text
        if (m_folder.isEmpty())
            return {};
        const QUrl url = baseUrl().resolved(name);
        if (!url.isLocalFile())
            return {};
        const QFileInfo file(url.toLocalFile());
        const QString path = file.canonicalFilePath();
        if (path.isEmpty() || !path.startsWith(m_folder + QLatin1Char('/')) || !file.isFile())
            return {};
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QVariant(f.readAll()) : QVariant();
    }

    QVariant part(const QUrl& name) const {
        for (const QString& id : {name.path(QUrl::FullyDecoded), name.path(QUrl::FullyEncoded)}) {
            const auto it = m_message.partsByContentId.constFind(id.toLower());
            if (it != m_message.partsByContentId.constEnd() && it.value())
                return *it.value();
        }
        return {};
    }

    const PrintableMessage& m_message;
    QString m_folder; // canonical, "" when the message has none
};

qint32 PrintHtmlBody(const PrintableMessage& message, QPrinter& printer, PageWriter& writer) {
    // Nothing reaches the engine before its work is known to be bounded.
    PrintableHtml body = BoundHtmlForPrint(message.htmlBody);
    if (body.verdict != HtmlPrintVerdict::Printable)
        return RefusalFor(body.verdict);
    // No layout before the foreign pictures are gone: laying out would already look for them.
    MessageDocument doc(message);
    doc.setHtml(HeadHtml(message) + body.html);
    body.html.clear();
    doc.DropForeignPictures();
    doc.WrapEveryLine();
    doc.documentLayout()->setPaintDevice(&printer);
    doc.setPageSize(writer.bodySize());
    const int pages = doc.pageCount();
    if (!FitsTheEngine(doc))
        return PrintTooLong;
    for (int p = 0; p < pages; ++p) {
        const qint32 result = writer.paint(doc, p);
        if (result != PrintOk)
            return result;
    }
    return PrintOk;
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

    const QRectF page =
        printer.pageLayout()
            .paintRectPixels(printer.resolution())
            .translated(-printer.pageLayout().paintRectPixels(printer.resolution()).topLeft());
    PageHeader header;
    header.text = headerText_;
    header.style = headerStyle_;
    header.font.setBold(headerStyle_ & HeaderBold);
    header.font.setUnderline(headerStyle_ & HeaderUnderline);
    header.height = headerText_.isEmpty() ? 0 : QFontMetricsF(header.font, &printer).height() * 1.8;
    PageWriter writer(printer, page, header, progress_);

    const qint32 result = message->bodyPart != BodyPartText && !message->htmlBody.isEmpty()
                              ? PrintHtmlBody(*message, printer, writer)
                              : PrintTextBody(writer, &printer, HeadHtml(*message), message->textBodyUtf8);
    return result == PrintOk ? writer.finish() : result;
}

} // namespace mail
