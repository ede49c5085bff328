#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <initializer_list>

class QWidget;

// A file without its owner's write permission counts as locked, for root too (whom the system lets write
// anything); so does one this user cannot write. A file that does not exist is not locked.
bool IsLockedFile(const QString& path);

// Before a chosen output file is written: a file without its owner's write permission counts as locked, and
// the user is asked whether to unlock it. True when the file may be written (it does not exist, is writable,
// or was unlocked); false when the user said No or it could not be unlocked.
bool ConfirmUnlockedOutput(QWidget* parent, const QString& path);

// Replaces a file through a temporary file beside it, so a failed write never destroys the old one.
// Files holding personal data are readable by their owner only, from the moment they exist.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, bool privateFile = false);
// The same for content in pieces written one after the other (a large text and its last line end),
// so the whole never has to be put together in memory.
bool WriteFileAtomically(const QString& path, std::initializer_list<QByteArrayView> pieces,
                         bool privateFile = false);
