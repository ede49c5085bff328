#include "mail/print/TextBodyPages.h"

#include "mail/print/LongRuns.h"
#include "mail/print/MessagePrinter.h"
#include "mail/print/PageWriter.h"
#include "mail/print/PrintableHtml.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <cstring>

namespace mail {

namespace {

// A piece holds at most this many lines and bytes at first: some dozens of pages, far below the
// engine's height even at the finest printer resolutions.
constexpr int kPieceLines = 2000;
constexpr qsizetype kPieceBytes = 128 * 1024;

// Where the next piece of utf8 from pos ends: after its last line end within the limits, or inside a
// line longer than the limits, at a character's start.
qsizetype PieceEnd(const QByteArray& utf8, qsizetype pos, qsizetype maxBytes, int maxLines) {
    const char* data = utf8.constData();
    const qsizetype limit = qMin(utf8.size(), pos + maxBytes);
    qsizetype end = pos;
    int lines = 0;
    for (; lines < maxLines; ++lines) {
        const void* lineEnd = std::memchr(data + end, '\n', size_t(limit - end));
        if (!lineEnd)
            break;
        end = static_cast<const char*>(lineEnd) - data + 1;
    }
    if (lines == maxLines || end > pos)
        return limit == utf8.size() && lines < maxLines ? limit : end;
    if (limit == utf8.size())
        return limit;
    // One line longer than the limit: cut at a character's start, never between CR and LF.
    end = limit;
    while (end > pos + 1 && ((uchar(data[end]) & 0xC0) == 0x80 || data[end - 1] == '\r'))
        --end;
    return end;
}

QString LinesOf(const QByteArray& utf8) {
    return QString::fromUtf8(utf8).replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
}

// Lays text out after headHtml as the engine lays out a preformatted paragraph that wraps, each line
// of the text one paragraph of it. Returns the position in doc where the text begins.
int BuildDocument(QTextDocument& doc, const QString& headHtml, const QString& text, bool spaceAbove) {
    doc.setUndoRedoEnabled(false);
    doc.setHtml(headHtml + QStringLiteral("<pre style=\"white-space: pre-wrap\">x</pre>"));
    QTextCursor cursor(doc.lastBlock());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    const QTextCharFormat chars = cursor.charFormat();
    QTextBlockFormat lines = cursor.blockFormat();
    const qreal above = lines.topMargin(), below = lines.bottomMargin();
    // The paragraph's space above and below goes around the whole text, not around each line.
    lines.setTopMargin(0);
    lines.setBottomMargin(0);
    cursor.setBlockFormat(lines);
    const int start = cursor.selectionStart();
    cursor.insertText(text, chars);
    if (spaceAbove) {
        QTextCursor first(&doc);
        first.setPosition(start);
        QTextBlockFormat format = first.blockFormat();
        format.setTopMargin(above);
        first.setBlockFormat(format);
    }
    QTextCursor last(doc.lastBlock());
    QTextBlockFormat format = last.blockFormat();
    format.setBottomMargin(below);
    last.setBlockFormat(format);
    return start;
}

constexpr int kNoLine = -1;

// The position where the first line of the text on that page begins; kNoLine when no line of the
// text begins there; the text's start when the whole text lies on that page or later.
int FirstLineOnPage(const QTextDocument& doc, int page, int textStart) {
    const qreal top = page * doc.pageSize().height();
    int found = kNoLine;
    for (QTextBlock block = doc.lastBlock(); block.isValid() && block.position() >= textStart;
         block = block.previous()) {
        const QTextLayout* layout = block.layout();
        for (int i = layout->lineCount() - 1; i >= 0; --i) {
            const QTextLine line = layout->lineAt(i);
            if (layout->position().y() + line.y() < top)
                return found;
            found = block.position() + line.textStart();
        }
    }
    return found == kNoLine ? kNoLine : textStart;
}

QString TextFrom(const QTextDocument& doc, int position) {
    QTextCursor cursor(const_cast<QTextDocument*>(&doc));
    cursor.setPosition(position);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    return cursor.selectedText().replace(QChar::ParagraphSeparator, u'\n');
}

} // namespace

bool FitsTheEngine(const QTextDocument& doc) {
    const qreal height = doc.documentLayout()->documentSize().height();
    return height > 0 && height < qreal(1 << 24);
}

qint32 PrintTextBody(PageWriter& writer, QPaintDevice* device, const QString& headHtml,
                     const QByteArray& utf8) {
    qsizetype pos = 0;
    QString carried; // the text of the last page of the piece before
    bool first = true;
    qsizetype pieceBytes = kPieceBytes;
    int pieceLines = kPieceLines;
    const HtmlPrintLimits limits;
    RunBreaker runs(limits.longestRun, limits.breakEvery, false); // a run may go on into the next piece
    for (;;) {
        const qsizetype end = PieceEnd(utf8, pos, pieceBytes, pieceLines);
        QString text = carried;
        runs.append(LinesOf(utf8.mid(pos, end - pos)), &text);
        pos = end;
        const bool last = pos >= utf8.size();

        QTextDocument doc;
        const int textStart = BuildDocument(doc, first ? headHtml : QString(), text, first);
        doc.documentLayout()->setPaintDevice(device);
        doc.setPageSize(writer.bodySize());
        const int pages = doc.pageCount();
        if (!FitsTheEngine(doc))
            return PrintTooLong;

        int printed = pages;
        carried.clear();
        if (!last) {
            const int from = pages > 1 ? FirstLineOnPage(doc, pages - 1, textStart) : textStart;
            if (from == textStart) {
                // Not one page filled: the next piece takes this one's text again, with more after it.
                carried = text;
                pieceBytes *= 2;
                pieceLines *= 2;
                continue;
            }
            printed = pages - 1;
            if (from != kNoLine)
                carried = TextFrom(doc, from);
        }
        for (int page = 0; page < printed; ++page) {
            const qint32 result = writer.paint(doc, page);
            if (result != PrintOk)
                return result;
        }
        if (last)
            return PrintOk;
        first = false;
        pieceBytes = kPieceBytes;
        pieceLines = kPieceLines;
    }
}

} // namespace mail
