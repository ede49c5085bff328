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

} // namespace testenv
