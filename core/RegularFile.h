#pragma once
// Files the program reads whole (documents, message parts) are regular files: a pipe would block the open
// until someone writes into it, and a device may never end.
#include <QString>

// Opens the file for reading without ever blocking; -1 for anything but a regular file (or a link to one).
// The name is looked at first so that no device is ever opened, and the opened file again in case the
// name was swapped in between. *size, when given, is the file's size. The caller closes the descriptor.
int OpenRegularFile(const QString& path, qint64* size = nullptr);
