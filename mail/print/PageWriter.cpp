#include "mail/print/PageWriter.h"

#include "mail/print/MessagePrinter.h"

#include <QFile>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace mail {

PageWriter::PageWriter(QPrinter& printer, const QRectF& page, const PageHeader& header,
                       const PageProgress& progress)
    : m_printer(printer), m_page(page), m_header(header), m_progress(progress) {}

QSizeF PageWriter::bodySize() const {
    return QSizeF(m_page.width(), m_page.height() - m_header.height);
}

PageWriter::~PageWriter() {
    if (!m_painter.isActive())
        return;
    // A print that did not finish is not sent to the printer, nor left behind half written in a file.
    m_printer.abort();
    if (m_painter.isActive())
        m_painter.end();
    if (m_printer.outputFormat() == QPrinter::PdfFormat && !m_printer.outputFileName().isEmpty())
        QFile::remove(m_printer.outputFileName());
}

namespace {
// Paragraphs longer than this may run over many pages.
constexpr int kLongParagraph = 4096;
} // namespace

qint32 PageWriter::paint(QTextDocument& doc, int page) {
    // The engine throws a paragraph's shaped text away after each drawing and shapes all of it again
    // for the next page it shows on: a paragraph of a megabyte cost seconds for every page. Long ones
    // keep it while their pages are painted.
    if (page == 0)
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
            if (block.length() > kLongParagraph)
                block.layout()->setCacheEnabled(true);
    // The printer starts with the first page: a message refused before it leaves no output behind.
    if (m_printed == 0 && !m_painter.isActive() && !m_painter.begin(&m_printer))
        return PrintCannotInitialize;
    if (m_printed > 0 && !m_printer.newPage()) {
        m_painter.end();
        return PrintCannotWrite;
    }
    if (!m_header.text.isEmpty()) {
        m_painter.save();
        m_painter.setFont(m_header.font);
        const Qt::Alignment align = (m_header.style & HeaderCenter) ? Qt::AlignHCenter : Qt::AlignLeft;
        m_painter.drawText(QRectF(0, 0, m_page.width(), m_header.height), align | Qt::AlignTop,
                           m_header.text);
        m_painter.restore();
    }
    const QSizeF body = bodySize();
    m_painter.save();
    m_painter.translate(0, m_header.height - page * body.height());
    doc.drawContents(&m_painter, QRectF(0, page * body.height(), body.width(), body.height()));
    m_painter.restore();
    ++m_printed;
    if (m_progress && !m_progress(m_printed))
        return PrintCancelled;
    return PrintOk;
}

qint32 PageWriter::finish() {
    if (!m_painter.isActive() || !m_painter.end() || m_printer.printerState() == QPrinter::Error)
        return PrintCannotWrite;
    return PrintOk;
}

} // namespace mail
