#pragma once
// What the main window decides at load and at close, apart from its widgets.
#include "core/Database.h"
#include "editor/SaveChanges.h" // IsUntitledDocumentPath, shared with the content dialogs
#include <QString>
#include <QStringList>

// The sender line of the From list: Name + " <" + Email + ">", or empty unless both are set.
QString SenderItemText(const QString& name, const QString& email);

// The close clean-up: the preview files in the temporary folder, the "*.tmp" files of the program
// folder and DataPath's "ImportBody" folder with everything in it. A file that cannot be deleted stays.
void DeleteTemporaryFiles();

// True when the attachment list already holds this path (exact, case-sensitive text).
bool AttachmentExists(const QStringList& attachments, const QString& path);

// The editor's context menu: Undo, a separator, Cut, Copy, Paste, Delete, a separator, Select All (an
// empty caption is a separator).
QStringList EditorContextMenuCaptions();
// The editing command of the context-menu item at this position; 0 for a separator or no item.
int EditorContextMenuCommand(int position);
