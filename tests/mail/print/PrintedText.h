#pragma once
// What a printed PDF file shows, as pdftotext reads it.
#include <QString>

namespace printtest {

// The text of every page, pages separated by form feeds; "" when it cannot be read.
QString PdfText(const QString& pdf);

// The words that lie inside each page less its top and bottom margins (in points), as they come. The
// engine also hands the printer the line above a page's body, clipped away on paper but still text in
// the file: this is what paper shows.
QString PdfTextOnPaper(const QString& pdf, double marginPoints);

} // namespace printtest
