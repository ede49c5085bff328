#pragma once
// Files that hold personal data (the settings with the account password, the user's recipient database)
// are readable by their owner only from the moment they exist: never written first and restricted after.
#include <QByteArrayView>
#include <QString>

#include <initializer_list>

// Creates an empty file with mode 0600 unless one exists; an existing file is made 0600. False when the
// file neither exists nor could be made.
bool EnsurePrivateFile(const QString& path);

// Copies source to a target that must not exist yet, creating it with mode 0600. On failure nothing is
// left at the target.
bool CopyToNewPrivateFile(const QString& source, const QString& target);

// The program's own folders (the data folder, the settings folder and their "Torvale" parents).
enum class FolderState {
    Ready,    // a folder of this user's, mode 0700
    CantMake, // it does not exist and cannot be made (a file in the way, no permission)
    NotOurs,  // a symbolic link, or a folder of another user: never used
};
// Makes the folder with mode 0700 whatever the umask (the folders above it as the system makes them),
// or checks the one that exists: a real folder of this user's, then made 0700.
FolderState MakePrivateFolder(const QString& path);

// Replaces path with a file of these pieces, one after the other, through a new file beside it that is
// created 0600 (never written first and restricted after) and renamed over the target once it is
// complete and on disk. On failure the old file stays as it was and nothing else is left.
bool ReplaceWithPrivateFile(const QString& path, std::initializer_list<QByteArrayView> pieces);
