#include "tools/MessageExport.h"

#include "mail/Smtp.h"
#include "sending/MessageSetup.h"
#include "sending/SendRun.h"

void BuildComposedMessage(mail::Smtp& smtp, const SendRunInput& input) {
    // The same set-up as a send run; server and authentication settings do not show in a saved file.
    SetUpSmtp(smtp, input.priority, input.readReceipt);
    smtp.AddRecipient(input.groupName, input.groupName, 1);
    ApplySubject(smtp, input.subject);
    ApplyAttachments(smtp, input.attachments);
    if (input.format == QLatin1String("HTML")) {
        smtp.SetBodyFormat(1);
        ApplyHtmlBody(smtp, input.writeHtmlBody ? input.writeHtmlBody() : QString());
    } else if (input.format == QLatin1String("Text")) {
        ApplyTextBody(smtp, input.plainBody ? input.plainBody() : QString());
    }
    smtp.SetOptionFlags(64);
}

qint32 ExportComposedMessage(const SendRunInput& input, const QString& path) {
    mail::Smtp smtp;
    BuildComposedMessage(smtp, input);
    return smtp.SaveMessageFile(path);
}
