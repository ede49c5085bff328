#include "tools/forms/MessageImport.h"

#include "core/Paths.h"
#include "editor/HtmlEditor.h"
#include "mail/Message.h"
#include "tools/MessageFiles.h"
#include "ui/Composer.h"

namespace {

// The text body as the document's HTML: every CR becomes "<br>" (the LF after it stays), nothing else
// changes. Made from the UTF-8 the message keeps, in one pass, so a large body is not copied as text.
QByteArray TextAsHtml(const QByteArray& text) {
    QByteArray html;
    html.reserve(text.size() + 3 * text.count('\r'));
    qsizetype from = 0;
    for (qsizetype cr = text.indexOf('\r'); cr >= 0; cr = text.indexOf('\r', from)) {
        html.append(text.constData() + from, cr - from);
        html.append("<br>");
        from = cr + 1;
    }
    html.append(text.constData() + from, text.size() - from);
    return html;
}

} // namespace

MessageImportOutcome ImportMessageIntoComposer(const QString& messageFile, Composer& composer,
                                               const std::function<bool()>& mayReplace) {
    MessageImportOutcome outcome;
    mail::Message message;
    const QString work = MakeWorkFolder();
    message.SetWorkFolder(work);
    outcome.warning = MessageFileFailureText(
        message.ImportMessageFile(messageFile, mail::BodyPartHtml, MessageImportFlags(true), 0));
    if (!outcome.warning.isEmpty())
        return outcome;
    if (mayReplace && !mayReplace())
        return outcome;

    // The body is copied before anything changes: when it cannot be, the composer stays as it was.
    const QString importBody = DataPath() + QStringLiteral("ImportBody");
    const QString htmlPath = message.GetHtmlBodyPath();
    QString document;
    if (!htmlPath.isEmpty()) {
        const QString copy = CopyBodyFolderInto(htmlPath, importBody);
        if (copy.isEmpty()) {
            outcome.warning = NotWrittenText({importBody});
            return outcome;
        }
        document = copy + QStringLiteral("/index.htm");
    }

    // Then the body goes into the editor: one it does not take (not a text document, or more than it
    // loads in its time) leaves the subject and the attachments as they were. A text body becomes a new
    // untitled document, as an HTML body is: Save must ask for a name, never write the imported text
    // over the file that was open before.
    HtmlEditor* editor = composer.Editor();
    bool shown = true;
    if (editor && document.isEmpty()) {
        editor->NewDocument();
        shown = editor->SetDocumentHTMLUtf8(TextAsHtml(message.GetTextBodyUtf8()));
    } else if (editor) {
        shown = editor->LoadDocument(document);
    }
    if (!shown) {
        outcome.warning = QStringLiteral("The message body could not be loaded into the editor.");
        return outcome;
    }
    composer.SetSubject(message.GetSubject());
    composer.SetFormat(document.isEmpty() ? MessageFormat::Text : MessageFormat::Html);

    // Saved under names no earlier import used, so an attachment already listed keeps its bytes.
    FolderNames names(importBody);
    const QList<mail::BodyPart> parts = message.GetBodyParts();
    QStringList attachments;
    for (int i = 0; i < parts.size(); ++i) {
        if (parts.at(i).PartKind() != mail::PartAttachment)
            continue;
        const QString path = SavePartInto(names, parts.at(i), i);
        if (!path.isEmpty())
            attachments << path;
    }
    composer.AddAttachments(attachments);
    outcome.done = true;
    return outcome;
}
