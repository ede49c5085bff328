#include "sending/PreviewMessage.h"

#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "mail/MimeComposer.h"
#include "mail/Smtp.h"
#include "sending/MessageSetup.h"
#include "sending/ThreadModes.h"

#include <QFile>

namespace {
// The attachments that can be read now. The preview shows the message without the others rather than
// not at all (a send run still refuses to send a message without its attachment).
QStringList ReadableFiles(const QStringList& paths) {
    QStringList out;
    for (const QString& path : paths) {
        // Only regular files: opening a named pipe would hang the window.
        if (mail::ReadRegularFile(path, nullptr) == 0)
            out << path;
    }
    return out;
}
} // namespace

QString PreviewNotWrittenText() {
    return QStringLiteral(
        "The message could not be written to a file for the preview, so no preview was made. "
        "Check that the disk is not full and that the message's folder can be written.");
}

bool BuildPreviewMessage(mail::Smtp& smtp, const SendRunInput& input) {
    const int mode = SmtpThreadModeValue();
    if (mode >= 0)
        smtp.SetThreadMode(mode);
    smtp.SetFromName(GetSetting(Setting::AccountName));
    smtp.SetFromAddress(GetSetting(Setting::AccountEmail));
    smtp.AddRecipient(input.groupName, input.groupName, mail::RecipientKind::To);
    // A subject that cannot be encoded goes out as typed; the preview reports nothing.
    ApplySubject(smtp, input.subject);
    SetUpMessageHeaders(smtp, input.priority, input.readReceipt);
    ApplyAttachments(smtp, ReadableFiles(input.attachments));
    if (input.format == MessageFormat::Html) {
        smtp.SetBodyFormat(1);
        const QString file = input.writeHtmlBody ? input.writeHtmlBody() : QString();
        if (file.isEmpty())
            return false;
        ApplyHtmlBody(smtp, file);
    } else {
        ApplyTextBody(smtp, input.plainBody ? input.plainBody() : QString());
    }
    return true;
}

QString SavePreview(const SendRunInput& input, QString* error) {
    mail::Smtp smtp;
    if (!BuildPreviewMessage(smtp, input)) {
        if (error)
            *error = PreviewNotWrittenText();
        return QString();
    }
    const QString path = TempFolder() + QStringLiteral("Preview.eml");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(path);
    if (smtp.SaveMessageFile(path) != 0) {
        if (error)
            *error = QStringLiteral("The preview could not be saved to \"%1\".").arg(path);
        return QString();
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}
