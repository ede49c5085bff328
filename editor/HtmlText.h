#pragma once
// Plain text rules of the HTML editing control, kept apart from the web engine so they can be checked
// without one.
#include <QByteArray>
#include <QString>

namespace htmltext {

// A colour attribute value as browsers read it (named colours, "#rgb", "#rrggbb" and the lenient legacy
// forms such as "ff0000"), given as lower-case "#rrggbb"; empty when the value is empty or "transparent".
QString NormalizeColor(const QString& value);

// The charset label to decode a file's bytes with: empty when the file says it itself (a byte order mark
// or a charset declaration in its head), "utf-8" when the bytes are valid UTF-8, else "windows-1252".
QByteArray ChooseCharset(const QByteArray& bytes);

// Whether a file's bytes can be a text document at all. A zero byte (a zero character in UTF-16 with its
// byte order mark) never stands in text; it marks a picture, a PDF or another program's file, which the
// engine would otherwise lay out as millions of odd characters for a long time.
bool IsText(const QByteArray& bytes);

// Text as a JavaScript string literal (double quotes, every character that could end it escaped).
QString JsString(const QString& text);

// Text made safe inside an HTML attribute value in double quotes.
QString AttributeText(const QString& text);

} // namespace htmltext
