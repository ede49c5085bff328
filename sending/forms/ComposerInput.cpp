#include "sending/forms/ComposerInput.h"

#include "core/Paths.h"
#include "editor/HtmlEditor.h"
#include "ui/Composer.h"
#include "ui/OutputFiles.h"

#include <QFile>
#include <QPointer>

namespace {

QString WriteEditorBody(HtmlEditor* editor) {
    if (!editor)
        return QString();
    // An untitled document is written to the temporary preview file; a document with a file of its
    // own is written to that file, and the body is taken from wherever the editor now says it lives.
    // A locked document is never replaced by this copy (root could write it): its body goes to the
    // temporary file too, where the editor references its pictures by their full paths.
    const QString preview = TempFolder() + QStringLiteral("Preview.htm");
    QFile::setPermissions(preview, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(preview);
    const QString current = editor->CurrentDocumentPath();
    const QString body = current.isEmpty() || IsLockedFile(current) ? preview : current;
    if (!editor->SaveCopy(body))
        return QString();
    return body;
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
