#include "tools/MessageExport.h"

#include "mail/Smtp.h"
#include "sending/MessageSetup.h"
#include "sending/SendRun.h"

#include <QFile>

void BuildComposedMessage(mail::Smtp& smtp, const SendRunInput& input) {
    // The same set-up as a send run; server and authentication settings do not show in a saved file.
    SetUpSmtp(smtp, input.priority, input.readReceipt);
    smtp.AddRecipient(input.groupName, input.groupName, mail::RecipientKind::To);
    ApplySubject(smtp, input.subject);
    ApplyAttachments(smtp, input.attachments);
    if (input.format == MessageFormat::Html) {
        smtp.SetBodyFormat(1);
        ApplyHtmlBody(smtp, input.writeHtmlBody ? input.writeHtmlBody() : QString());
    } else {
        ApplyTextBody(smtp, input.plainBody ? input.plainBody() : QString());
    }
    smtp.SetOptionFlags(64);
}

qint32 ExportComposedMessage(const SendRunInput& input, const QString& path) {
    mail::Smtp smtp;
    BuildComposedMessage(smtp, input);
    // A new file is the user's only before a byte of the message is in it: the save keeps the
    // permissions of the file it replaces, and this empty one is what it replaces. A file that exists
    // keeps the permissions its owner gave it.
    QFile placeholder(path);
    const bool made = !path.isEmpty() && placeholder.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                                                          QFile::ReadOwner | QFile::WriteOwner);
    placeholder.close();
    const qint32 result = smtp.SaveMessageFile(path);
    if (result != 0 && made)
        QFile::remove(path); // no empty file where the export failed
    return result;
}
