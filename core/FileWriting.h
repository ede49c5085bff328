#pragma once
// Writing the files the user chose: locked files are respected, and a failed write never destroys the
// file it was to replace.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <initializer_list>

// A file without its owner's write permission counts as locked, for root too (whom the system lets write
// anything); so does one this user cannot write. A file that does not exist is not locked.
bool IsLockedFile(const QString& path);

// Replaces a file through a temporary file beside it, so a failed write never destroys the old one.
// Files holding personal data are readable by their owner only, from the moment they exist.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, bool privateFile = false);
// The same for content in pieces written one after the other (a large text and its last line end),
// so the whole never has to be put together in memory.
bool WriteFileAtomically(const QString& path, std::initializer_list<QByteArrayView> pieces,
                         bool privateFile = false);
