#pragma once
// Text <-> bytes in the MIME charsets the account can choose. iconv does the work; the few names it
// lacks go through their equivalents or through tables of ours, while the label on the wire stays as
// the caller chose it.
#include <QByteArray>
#include <QString>

namespace mail {

// True when the label names a charset this library can convert (case-insensitive).
bool IsKnownCharset(const QString& label);

// Converts text into the charset. False when the charset is unknown or cannot hold every character
// of the text; out is then undefined.
bool EncodeCharset(const QString& text, const QString& label, QByteArray* out);

// Converts bytes of the charset into text. Unknown charsets and invalid sequences fall back to UTF-8,
// then Windows-1252, so a damaged message still reads; returns false when a fallback was used.
bool DecodeCharset(const QByteArray& bytes, const QString& label, QString* out);

// Decodes the RFC 2047 encoded words of a header value (unfolded), leaving other text as it is.
QString DecodeHeaderWords(const QByteArray& raw);

// The converters this thread keeps open (at most 64), and their release (also done when the thread ends).
qsizetype CachedConverterCount();
void ReleaseCachedConverters();

} // namespace mail
