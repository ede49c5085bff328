#pragma once
// File helpers the tests of several areas share.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testenv {

// Every file below root (hidden ones too), relative to it, sorted.
QStringList FilesBelow(const QString& root);

// Writes bytes to path (its folder made when missing, the file replaced) and returns the path; a file
// that cannot be written fails the test.
QString WriteFile(const QString& path, const QByteArray& bytes);

// The whole file; "" when it cannot be read.
QByteArray ReadFile(const QString& path);

// Overwrites the file's bytes from offset on, in place, as a failing disk would; the size stays unless
// the bytes reach past the end. A file that cannot be changed fails the test.
void OverwriteBytes(const QString& path, qint64 offset, const QByteArray& bytes);

} // namespace testenv
