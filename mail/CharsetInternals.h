#pragma once
// Inside the charset conversions: how a label resolves, and the iconv descriptors they share. Only
// MailCharsets.cpp, CharsetLabels.cpp and CharsetPieces.cpp use this.
#include <QByteArray>
#include <QString>

#include <iconv.h>

namespace mail::charsets {

// Unlabelled: text that names no charset, read as UTF-8 when it is UTF-8, else as Windows-1252.
enum class Special { None, Utf8, Ascii, Hz, UserDefined, Windows1252, Unlabelled };

struct Resolved {
    Special special = Special::None;
    QByteArray iconvName; // for Special::None and Hz (the GB2312 inner encoding)
    bool known = true;    // false: a label nothing here knows, read as Windows-1252
};

// The label the account chose for what it sends.
Resolved Resolve(const QString& label);
// The label of text received (CharsetLabels.cpp).
Resolved ResolveReceived(const QString& label);

// HZ text (RFC 1843) read whole; false when a character was replaced by U+FFFD.
bool HzDecode(const QByteArray& in, QString* out);

// A descriptor of this thread's cache, in its initial state; (iconv_t)-1 when iconv lacks the pair.
iconv_t Descriptor(const QByteArray& to, const QByteArray& from);

// Converts all of in; false when a character cannot be converted or the pair is unknown.
bool Iconv(const QByteArray& to, const QByteArray& from, const QByteArray& in, QByteArray* out);

} // namespace mail::charsets
