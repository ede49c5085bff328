#pragma once
// What a printed PDF file shows, as pdftotext reads it.
#include <QString>

namespace printtest {

// The text of every page, pages separated by form feeds; "" when it cannot be read.
QString PdfText(const QString& pdf);

} // namespace printtest
