#pragma once
// The content of the files a message carries (attachments, pictures), read and transfer-encoded once
// and shared by every message that carries them: a send run attaches the same files to each of its
// messages, and a large file must cost its encoded size once, not once per message.
#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>

namespace mail {

// The line breaks bytes that go unencoded may hold: "\n" (text), CR LF (a file's bytes), or either (an
// attached message, whose lines end CR LF on the wire anyway).
enum class LineEnds { Lf, CrLf, Either };

// True when bytes can go unencoded (7bit or 8bit): no NUL, no line break but those allowed, lines of at
// most 998.
bool SafeUnencoded(const QByteArray& in, LineEnds ends, bool* eightBit);

// Quoted-printable, appended to out. In text mode "\n" is a line break; in binary mode only CR LF is,
// and every other CR or LF byte is encoded. Lines end with eol.
void AppendQuotedPrintable(QByteArray& out, const QByteArray& in, bool textMode, const char* eol);

// Base64 in lines of 76 characters, each ended with eol.
void AppendBase64Lines(QByteArray& out, const char* in, qsizetype size, const char* eol);

// A file as a part carries it.
struct FileContent {
    qint32 error = 0;    // a ComposeResult: the file cannot be opened or read
    QByteArray mimeType; // the part's type
    QByteArray charset;  // for text types: the charset of the file's bytes
    int kind = 2;        // 1 quoted-printable, 2 base64, 7 7bit, 8 8bit
    QByteArray bytes;    // the encoded content with CR LF line ends, or the file's bytes when unencoded
};

// The files of the messages one SMTP object composes. An entry holds while its file keeps its identity,
// size and times; each composition keeps only the entries it used, so memory follows the message.
class FileContentCache {
public:
    // The content of path as an attachment in encoding (an AttachmentEncoding), with the part type
    // given (a related picture's) or found from the file's name and first bytes.
    std::shared_ptr<const FileContent> Get(const QString& path, qint32 encoding, bool sevenBit,
                                           const QByteArray& givenType = {});
    // Drops every entry that no Get asked for since the last call.
    void KeepOnlyUsed();

private:
    struct Entry {
        QByteArray stamp; // device, inode, size, modification and change times
        std::shared_ptr<const FileContent> content;
        bool used = false;
    };
    QHash<QString, Entry> m_entries; // by path, encoding, 7-bit and given type
};

} // namespace mail
