#pragma once
// Helpers shared by the composer, the HTML body import and the message parser.
#include <QByteArray>
#include <QString>

namespace mail {

// Initialises GMime once per process.
void InitGMime();

// Every LF that is not already preceded by CR becomes CR LF; a bare CR becomes CR LF as well.
QByteArray ToCrLf(const QByteArray& in);

// The readable text of an HTML document: no markup, scripts or styles; entities decoded; line breaks
// for <br>, paragraphs, headings, list items and table rows. Lines end with "\n".
QString HtmlToText(const QString& html);

} // namespace mail
