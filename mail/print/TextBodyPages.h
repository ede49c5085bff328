#pragma once
// Prints a text body of any length. The rich-text engine lays a document out only up to a height (a
// few thousand pages; beyond it lines are lost without a word) and holds all of it in memory, so the
// body is laid out a few pages at a time: the lines of the last, unfinished page of each piece begin
// the next piece, and every page comes out as one long document would give it.
#include <QByteArray>
#include <QString>

class QPaintDevice;
class QTextDocument;

namespace mail {

class PageWriter;

// The engine keeps positions in fixed point: a document taller than this loses its lines.
bool FitsTheEngine(const QTextDocument& doc);

// Prints headHtml (the message headers) and then utf8 (lines ending in CR LF) as preformatted text
// that wraps. Returns a PrintResult.
qint32 PrintTextBody(PageWriter& writer, QPaintDevice* device, const QString& headHtml,
                     const QByteArray& utf8);

} // namespace mail
