#include "sending/forms/ComposerInput.h"

#include "core/Paths.h"
#include "editor/HtmlEditor.h"
#include "ui/Composer.h"

#include <QFile>
#include <QPointer>

namespace {

QString WriteEditorBody(HtmlEditor* editor) {
    if (!editor)
        return QString();
    // The body always goes to the private temporary file, never over the document's own file: that
    // file must stay as the user last saved it, or the close's "No" could no longer undo the edits.
    // The copy names every picture by its full path, so the pictures beside the document are found.
    const QString preview = TempFolder() + QStringLiteral("Preview.htm");
    QFile::setPermissions(preview, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(preview);
    if (!editor->SaveCopy(preview))
        return QString();
    return preview;
}

} // namespace

SendRunInput SendRunInputFrom(const Composer& composer) {
    SendRunInput in;
    in.subject = composer.Subject();
    in.groupName = composer.Group();
    in.format = composer.Format();
    in.priority = composer.Priority();
    in.readReceipt = composer.ReadReceipt();
    in.attachments = composer.Attachments();
    const QPointer<HtmlEditor> editor = composer.Editor();
    in.writeHtmlBody = [editor] { return WriteEditorBody(editor); };
    in.plainBody = [editor] { return editor ? editor->DOM().bodyOuterText() : QString(); };
    return in;
}
