#pragma once
// The body of a composed message as a GMime tree: the text or HTML part, the pictures the HTML shows,
// its text alternative and the attachments, each in the transfer encoding the message asks for.
#include "mail/FileContent.h"
#include "mail/MessageSpec.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include "mail/GMimeInclude.h"

namespace mail {

// The encoded content of a file part (an attachment, a picture). The tree holds its marker line in its
// place, and InsertFileContents puts the content there: a large file is encoded once, straight into the
// message, never copied through the tree.
struct EncodedFile {
    QByteArray marker;
    std::shared_ptr<const FileContent> content; // encoded, CR LF line ends
};

// The body tree of spec in charset (a charset the text cannot be held in gives way to UTF-8 part by part),
// its boundaries starting with the message's boundary prefix. With sevenBit every part that would go as
// 8-bit goes quoted-printable instead. nullptr with *rc set to a ComposeResult when an attachment or
// picture cannot be read; the caller owns the tree. The files come from cache; their encoded contents
// go to *files.
GMimeObject* ComposeBody(const MessageSpec& spec, const QString& charset, bool sevenBit, qint32* rc,
                         FileContentCache& cache, QList<EncodedFile>* files);

// The written message (lines ended with CR LF) with each file's marker line replaced by its encoded
// content, as pieces in order: the contents are shared with the cache, not copied. Empty when a marker
// is missing.
QList<QByteArray> InsertFileContents(const QByteArray& written, const QList<EncodedFile>& files);

} // namespace mail
