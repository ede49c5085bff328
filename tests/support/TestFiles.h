#pragma once
// File helpers the tests of several areas share.
#include <QString>
#include <QStringList>

namespace testenv {

// Every file below root (hidden ones too), relative to it, sorted.
QStringList FilesBelow(const QString& root);

} // namespace testenv
