#pragma once
// The MIME half of the SMTP class: turns a MessageSpec into the bytes of an RFC 5322 message and
// keeps the HTML body, its text alternative and its related images in the MessageSpec, so a send run can
// personalise and compose one message per recipient without reading or analysing the HTML again.
#include "mail/MessageSpec.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace mail {

class FileContentCache;

// Result codes of ComposeMessage (the SMTP class passes them on as its own send-status codes).
enum ComposeResult : qint32 {
    ComposeOk = 0,
    ComposeBodyProblem = 4,     // a body or attachment cannot be encoded
    ComposeCannotOpenFile = 10, // an attachment or related image cannot be opened
    ComposeCannotReadFile = 11, // an attachment or related image cannot be read
};

// Result codes of ImportBodyFile.
enum ImportBodyResult : qint32 {
    ImportOk = 0,
    ImportOpenFailed = 1,
    ImportReadFailed = 2,
    ImportInvalidParameter = 3,
    ImportParserFailed = 101,
};

// ImportBodyFile modes: HTML only, or HTML plus a generated plain-text alternative.
enum ImportBodyMode : qint32 { ImportHtmlOnly = 2, ImportHtmlWithText = 6 };

// Header encodings of EncodeHeaderText.
enum HeaderEncodingMode : qint32 { HeaderQuotedPrintable = 1, HeaderBase64 = 2 };

// The whole message, CR LF line ends, ready for DATA (not dot-stuffed). *result (may be null) gets a
// ComposeResult; on failure the returned bytes are empty. Identical input gives identical bytes except
// for the Date and Message-ID headers. With sevenBit every part that would go as 8-bit goes
// quoted-printable instead (for servers without 8BITMIME).
QByteArray ComposeMessage(const MessageSpec& spec, qint32* result, bool sevenBit = false);

// The same message as pieces that follow one another (empty on failure): the files come from cache, and
// their encoded content stays shared with it instead of being copied into the message.
QList<QByteArray> ComposeMessagePieces(const MessageSpec& spec, qint32* result, bool sevenBit,
                                       FileContentCache& cache);

// Reads an HTML file into spec.htmlBody (bodyFormat 1), with the local images it references as related
// parts (cid:), and for mode 6 also a plain-text alternative in spec.bodyText. Remote URLs, cid: and
// data: stay as they are. A local picture that cannot be embedded (missing, unreadable, not an image)
// is left out, never sent as a reference to a local file: a picture element goes whole, on other
// elements the attribute; its path goes to spec.leftOutPictures. Returns an ImportBodyResult.
qint32 ImportBodyFile(MessageSpec& spec, const QString& htmlPath, qint32 mode);

// True when ImportBodyFile embeds the file as a picture: a regular file that can be read and is an image.
bool IsEmbeddablePicture(const QString& path);

// Replaces every occurrence of macro in every body of the message (HTML, its text alternative, the
// plain body). In the HTML body the value is HTML-escaped, so "A&B <Co>" shows as typed; the text
// bodies take it as it is. Returns 0, or 3 when macro is empty.
qint32 ReplaceMergeField(MessageSpec& spec, const QString& macro, const QString& value);

// An RFC 2047 encoded-word text of text in charset (mode 1 Q, 2 B). Returns "" for an empty text and
// "ERR:" + reason when the charset or mode is unusable.
QString EncodeHeaderText(const QString& text, const QString& charset, qint32 mode);

// Reads a regular file whole (at most the size it has when opened), never blocking on a named pipe and
// never reading a device without end: anything but a regular file, or a link to one, gives
// ComposeCannotOpenFile; a file that changes its size while it is read gives ComposeCannotReadFile.
// With bytes null only checks that the file can be opened.
qint32 ReadRegularFile(const QString& path, QByteArray* bytes);

// How many times a file's content (attachment or picture) has been read and transfer-encoded in this
// process: a send run with one attachment costs one, whatever the number of its messages.
qint64 AttachmentEncodings();

// Writes the composed message to path, replacing the file atomically. Returns the ComposeMessage
// result, or 11 when the file cannot be written.
qint32 SaveMessageFile(const MessageSpec& spec, const QString& path, FileContentCache* cache = nullptr);

} // namespace mail
