#include "tests/support/TestFiles.h"

#include <QDir>
#include <QDirIterator>

namespace testenv {

QStringList FilesBelow(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace testenv
