#pragma once
// Paints laid-out pages on a printer one after another, each under the page header, and tells the
// caller after each page, who may stop the print there.
#include "mail/print/MessagePrinter.h"

#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>

class QPrinter;
class QTextDocument;

namespace mail {

struct PageHeader {
    QString text;
    QFont font;
    qint32 style = 0; // HeaderStyleBits
    qreal height = 0; // 0 without a header
};

class PageWriter {
public:
    PageWriter(QPrinter& printer, const QRectF& page, const PageHeader& header, const PageProgress& progress);
    ~PageWriter();
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    // The size the body of each page has below its header.
    QSizeF bodySize() const;

    // Paints the page of index page of a document laid out at bodySize(), the first one starting the
    // print. Returns a PrintResult: PrintOk, or why the print ended (the printer failed, the caller
    // stopped it); a print that ends so is abandoned.
    qint32 paint(QTextDocument& doc, int page);
    // Ends the print and sends it; returns a PrintResult.
    qint32 finish();

private:
    QPrinter& m_printer;
    QRectF m_page;
    PageHeader m_header;
    PageProgress m_progress;
    QPainter m_painter;
    qint32 m_printed = 0;
};

} // namespace mail
