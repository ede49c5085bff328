#pragma once
// The body of a composed message as a GMime tree: the text or HTML part, the pictures the HTML shows,
// its text alternative and the attachments, each in the transfer encoding the message asks for.
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
    QByteArray bytes; // the file
    int kind = 2;     // 1 quoted-printable, 2 base64
};

// The body tree of spec in charset (a charset the text cannot be held in gives way to UTF-8 part by part),
// its boundaries starting with the message's boundary prefix. With sevenBit every part that would go as
// 8-bit goes quoted-printable instead. nullptr with *rc set to a ComposeResult when an attachment or
// picture cannot be read; the caller owns the tree. The encoded file contents go to *files.
GMimeObject* ComposeBody(const MessageSpec& spec, const QString& charset, bool sevenBit, qint32* rc,
                         QList<EncodedFile>* files);

// The written message (lines ended with CR LF) with each file's marker line replaced by its content,
// encoded with CR LF line ends; each file's bytes are let go once they are in. Empty when a marker is
// missing.
QByteArray InsertFileContents(const QByteArray& written, QList<EncodedFile>& files);

} // namespace mail
