#include "app/MainFormLogic.h"

#include "core/Database.h"
#include "core/Paths.h"
#include "editor/HtmlEditor.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr auto kImportBody = "ImportBody";

void removeFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return;
    // A read-only file counts as locked elsewhere in the program; here it goes all the same.
    if (!info.isSymLink())
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(path);
}

// Read-only folders inside the tree would stop the removal of what they hold, so open them up first.
// Links are never followed: only the link itself goes.
void removeTree(const QString& folder) {
    const QFileInfo top(folder);
    if (top.isSymLink()) {
        QFile::remove(folder);
        return;
    }
    if (!top.isDir())
        return;
    QFile::setPermissions(folder, QFile::permissions(folder) | QFile::ReadOwner | QFile::WriteOwner |
                                      QFile::ExeOwner);
    QDirIterator it(folder, QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString dir = it.next();
        if (!QFileInfo(dir).isSymLink())
            QFile::setPermissions(dir, QFile::permissions(dir) | QFile::ReadOwner | QFile::WriteOwner |
                                           QFile::ExeOwner);
    }
    QDir(folder).removeRecursively();
}

} // namespace

QString SenderItemText(const QString& name, const QString& email) {
    if (name.isEmpty() || email.isEmpty())
        return QString();
    return name + QStringLiteral(" <") + email + QLatin1Char('>');
}

void DeleteTemporaryFiles() {
    removeFile(TempFolder() + QStringLiteral("Preview.eml"));
    removeFile(TempFolder() + QStringLiteral("Preview.htm"));

    // Only the program folder's own files, never its subfolders; "*.TMP" counts too.
    const QDir program(ProgramFolder(), QStringLiteral("*.tmp"), QDir::NoSort,
                       QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : program.entryList())
        removeFile(program.filePath(name));

    // Without a data folder the name would resolve against the working folder: leave it alone.
    if (!DataPath().isEmpty())
        removeTree(DataPath() + QLatin1String(kImportBody));
}

bool AttachmentExists(const QStringList& attachments, const QString& path) {
    return attachments.contains(path, Qt::CaseSensitive);
}

namespace {
struct ContextItem {
    const char* caption;
    int command;
};
constexpr ContextItem ContextMenu[] = {
    {"Undo", EditCommand::Undo},
    {"", 0},
    {"Cut", EditCommand::Cut},
    {"Copy", EditCommand::Copy},
    {"Paste", EditCommand::Paste},
    {"Delete", EditCommand::Delete},
    {"", 0},
    {"Select All", EditCommand::SelectAll},
};
} // namespace

QStringList EditorContextMenuCaptions() {
    QStringList captions;
    for (const ContextItem& item : ContextMenu)
        captions << QString::fromLatin1(item.caption);
    return captions;
}

int EditorContextMenuCommand(int position) {
    if (position < 0 || position >= int(std::size(ContextMenu)))
        return 0;
    return ContextMenu[position].command;
}
