#pragma once
// Inside the charset conversions: how a label resolves, and the iconv descriptors they share. Only
// MailCharsets.cpp and CharsetPieces.cpp use this.
#include <QByteArray>
#include <QString>

#include <iconv.h>

namespace mail::charsets {

enum class Special { None, Utf8, Ascii, Hz, UserDefined };

struct Resolved {
    Special special = Special::None;
    QByteArray iconvName; // for Special::None and Hz (the GB2312 inner encoding)
};

Resolved Resolve(const QString& label);

// A descriptor of this thread's cache, in its initial state; (iconv_t)-1 when iconv lacks the pair.
iconv_t Descriptor(const QByteArray& to, const QByteArray& from);

// Converts all of in; false when a character cannot be converted or the pair is unknown.
bool Iconv(const QByteArray& to, const QByteArray& from, const QByteArray& in, QByteArray* out);

} // namespace mail::charsets
