#pragma once
// The header fields of a stored message that our own code reads (GMime leaves them as text): address
// lists and Received trace headers. Used by the message parser only.
#include "mail/Message.h"

#include <QByteArray>
#include <QList>

namespace mail {

// Splits an address list: "Name <a@b>, \"Last, First\" <c@d>, e@f, group: g@h;". At most `room`
// entries are taken; *cut is set when the list held more.
QList<MessageRecipient> ParseAddresses(const QByteArray& raw, qint32 type, qsizetype room, bool* cut);

} // namespace mail
