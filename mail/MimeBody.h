#pragma once
// The body of a composed message as a GMime tree: the text or HTML part, the pictures the HTML shows,
// its text alternative and the attachments, each in the transfer encoding the message asks for.
#include "mail/MessageSpec.h"

#include <QString>

#include "mail/GMimeInclude.h"

namespace mail {

// The body tree of spec in charset (a charset the text cannot be held in gives way to UTF-8 part by part),
// its boundaries starting with the message's boundary prefix. With sevenBit every part that would go as
// 8-bit goes quoted-printable instead. nullptr with *rc set to a ComposeResult when an attachment or
// picture cannot be read; the caller owns the tree.
GMimeObject* ComposeBody(const MessageSpec& spec, const QString& charset, bool sevenBit, qint32* rc);

} // namespace mail
