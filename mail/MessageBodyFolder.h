#pragma once
// Inside the message parser: the folder that holds an HTML body beside its pictures, and new files.
#include "mail/Message.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace mail {

// A picture the HTML body refers to: the part, its position among the message's parts, its content id.
struct CidPart {
    const BodyPart* part;
    qsizetype index;
    QString cid;
};

// Writes a fresh folder "BodyN" directly inside the work folder: the HTML as "index.htm" in UTF-8 (its
// charset declaration made to say so) and the pictures beside it, the references rewritten to their
// files. Sets *bodyFolder; MessageOk or MessageFileIoError.
qint32 WriteBodyFolder(const QString& workFolder, const QString& htmlBody, const QList<CidPart>& pictures,
                       QString* bodyFolder);

// Creates a file that must not exist yet (never through a link) and writes bytes into it, without the
// flush to disk that a replaced file needs. On failure nothing of it is left.
bool WriteNewFile(const QString& path, const QByteArray& bytes);

} // namespace mail
