#include "tools/MessageImport.h"

#include "core/Paths.h"
#include "editor/HtmlEditor.h"
#include "mail/Message.h"
#include "tools/MessageFiles.h"
#include "ui/MainFormControls.h"

#include <QDir>
#include <QFileInfo>

MessageImportOutcome ImportMessageIntoComposer(const QString& messageFile) {
    MessageImportOutcome outcome;
    mail::Message message;
    const QString work = MakeWorkFolder();
    message.SetWorkFolder(work);
    const qint32 result =
        message.ImportMessageFile(messageFile, mail::BodyPartHtml, MessageImportFlags(true), 0);
    outcome.warning = MessageFileErrorText(result);
    if (result != mail::MessageOk && outcome.warning.isEmpty())
        outcome.warning = MessageFileErrorText(mail::MessageException);
    if (!outcome.warning.isEmpty())
        return outcome;

    MainFormControls& ui = MainFormUi();
    if (ui.SubjectTextBox)
        ui.SubjectTextBox->setText(message.GetSubject());

    const QString importBody = DataPath() + QStringLiteral("ImportBody");
    const QString htmlPath = message.GetHtmlBodyPath();
    if (htmlPath.isEmpty()) {
        if (ui.FormatComboBox)
            ui.FormatComboBox->setCurrentText(QStringLiteral("Text"));
        QString text = message.GetTextBody();
        text.replace(QLatin1Char('\r'), QLatin1String("<br>"));
        // A new untitled document, as for an HTML body: Save must ask for a name, never write the
        // imported text over the file that was open before.
        if (ui.Editor) {
            ui.Editor->NewDocument();
            ui.Editor->SetDocumentHTML(text);
        }
    } else {
        if (ui.FormatComboBox)
            ui.FormatComboBox->setCurrentText(QStringLiteral("HTML"));
        CopyFolderContents(work, importBody);
        const QString folderName = QFileInfo(htmlPath).fileName();
        if (ui.Editor)
            ui.Editor->LoadDocument(importBody + QLatin1Char('/') + folderName +
                                    QStringLiteral("/index.htm"));
    }

    const QList<mail::BodyPart> parts = message.GetBodyParts();
    for (int i = 0; i < parts.size(); ++i) {
        if (parts.at(i).PartKind() != mail::PartAttachment)
            continue;
        // Saved under a name no earlier import used, so an attachment already listed keeps its bytes.
        const QString path = SavePartInto(importBody, parts.at(i), i);
        if (!path.isEmpty() && ui.AttachmentComboBox)
            ui.AttachmentComboBox->addItem(path);
    }
    if (ui.AttachmentComboBox && ui.AttachmentComboBox->count() > 0)
        ui.AttachmentComboBox->setCurrentIndex(0);
    outcome.done = true;
    return outcome;
}
