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

// Longest file name (in bytes of UTF-8) that common file systems accept.
inline constexpr qsizetype kMaxPartNameBytes = 255;

// A file name that stays inside the folder it is joined to, made from a name a message gives a part:
// the last component only, without control characters (NUL included), characters other systems refuse
// in names, or leading dots, cut to kMaxPartNameBytes of UTF-8 (keeping a short extension). fallback
// (cut the same way) when nothing of the name is left.
QString SafePartName(const QString& raw, const QString& fallback);

// Cuts text so that its UTF-8 form holds at most maxBytes, never inside a character.
QString CutToUtf8Bytes(const QString& text, qsizetype maxBytes);

// The file name extension (with its dot) for a MIME type of a part without a name.
QString ExtensionForType(const QByteArray& type);

} // namespace mail
