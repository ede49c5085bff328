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

// Converts received bytes into text. The label resolves as mail readers resolve it (gb2312 as GB18030,
// ks_c_5601-1987 as CP949, shift_jis as CP932, iso-8859-1 and us-ascii as Windows-1252, ...); only the
// sequences that are invalid in its charset become U+FFFD. An unknown label reads as Windows-1252, an
// empty one as UTF-8 when the bytes are UTF-8, else as Windows-1252. True when the text was read exactly
// as labelled: a known label (or none, and UTF-8) and nothing replaced.
bool DecodeCharset(const QByteArray& bytes, const QString& label, QString* out);

// Bytes read piece by piece, such as a part's content as its transfer encoding is undone.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual QByteArray Next() = 0; // the following piece; empty at the end
    virtual void Rewind() = 0;     // back before the first piece
};

// Where decoded text goes piece by piece. Restart drops what came so far: text without a label that is
// not UTF-8 is read again from its start.
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
