#pragma once
// Files that hold personal data (the settings with the account password, the user's recipient database)
// are readable by their owner only from the moment they exist: never written first and restricted after.
#include <QString>

// Creates an empty file with mode 0600 unless one exists; an existing file is made 0600. False when the
// file neither exists nor could be made.
bool EnsurePrivateFile(const QString& path);

// Copies source to a target that must not exist yet, creating it with mode 0600. On failure nothing is
// left at the target.
bool CopyToNewPrivateFile(const QString& source, const QString& target);
