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

// Bytes read piece by piece, such as a part's content as its transfer encoding is undone.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual QByteArray Next() = 0; // the following piece; empty at the end
    virtual void Rewind() = 0;     // back before the first piece
};

// Where decoded text goes piece by piece. Restart drops what came so far: a fallback charset reads the
// source again from its start.
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void Restart() = 0;
    virtual void Append(QStringView text) = 0;
};

// DecodeCharset for bytes read piece by piece: the same text and the same result, while the bytes are
// never all in memory beside the text.
bool DecodeCharset(ByteSource& in, const QString& label, TextSink& out);

// Decodes the RFC 2047 encoded words of a header value (unfolded), leaving other text as it is.
QString DecodeHeaderWords(const QByteArray& raw);

// The converters this thread keeps open (at most 64), and their release (also done when the thread ends).
qsizetype CachedConverterCount();
void ReleaseCachedConverters();

} // namespace mail
