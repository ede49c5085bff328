#include "tools/MessageExtract.h"

#include "core/FileWriting.h"
#include "mail/Message.h"
#include "tools/MessageFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace {
const QString CRLF = QStringLiteral("\r\n");

QString RecipientBlocks(const QList<mail::MessageRecipient>& recipients) {
    QString out;
    for (const mail::MessageRecipient& r : recipients) {
        const char* type = r.RecipientType == 1   ? "Normal recipient"
                           : r.RecipientType == 2 ? "Carbon copy recipient"
                           : r.RecipientType == 3 ? "Blind carbon copy recipient"
                                                  : nullptr;
        if (!type)
            continue;
        out += QStringLiteral("Name: ") + r.RecipientName + CRLF + QStringLiteral("Address: ") +
               r.RecipientAddress + CRLF + QStringLiteral("Type: ") + QLatin1String(type) + CRLF +
               QStringLiteral("-") + CRLF;
    }
    return out;
}

QString TimestampBlocks(const QList<mail::ReceivedHeader>& headers) {
    QString out;
    for (const mail::ReceivedHeader& h : headers) {
        out += QStringLiteral("By: ") + h.ReceivedBy + CRLF + QStringLiteral("DateTime: ") +
               OutputDateTime(h.ReceivedDateTime) + CRLF + QStringLiteral("For: ") + h.ReceivedFor + CRLF +
               QStringLiteral("From: ") + h.ReceivedFrom + CRLF + QStringLiteral("ID: ") + h.ReceivedID +
               CRLF + QStringLiteral("Protocol: ") + h.ReceivedProtocol + CRLF +
               QStringLiteral("TimeZoneBias: ") + OutputNumber(h.ReceivedTimeZoneBias) + CRLF +
               QStringLiteral("Via: ") + h.ReceivedVia + CRLF + QStringLiteral("-") + CRLF;
    }
    return out;
}

void SaveAttachments(const mail::Message& message, const ExtractRequest& request, ExtractOutcome* outcome) {
    FolderNames names(request.attachmentsFolder);
    const QList<mail::BodyPart> parts = message.GetBodyParts();
    for (int i = 0; i < parts.size(); ++i) {
        const qint32 kind = parts.at(i).PartKind();
        if (kind != mail::PartAttachment &&
            !(request.bodyPartAttachments && kind == mail::PartBodyPartAttachment))
            continue;
        // a cut file under the attachment's own name would pass for the attachment
        if (!parts.at(i).IsWhole())
            outcome->cutShort << parts.at(i).PartFileName();
        else if (SavePartInto(names, parts.at(i), i).isEmpty())
            outcome->notWritten << parts.at(i).PartFileName();
    }
}
} // namespace

QString OutputNumber(qint64 value) {
    return (value >= 0 ? QStringLiteral(" ") : QString()) + QString::number(value) + QLatin1Char(' ');
}

QString OutputDateTime(const QDateTime& value) {
    if (!value.isValid())
        return QString();
    const QLocale locale = QLocale::system();
    const QString date = locale.toString(value.date(), QLocale::ShortFormat);
    if (value.time() == QTime(0, 0))
        return date;
    // The time is the header's own; a zone name in the format would be the system's, which is wrong
    // beside it (the bias line gives the header's zone).
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    const QString format = locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
    return date + QLatin1Char(' ') + locale.toString(value.time(), format);
}

QString CheckExtractTargets(const ExtractRequest& request) {
    if (request.bodyFolder.isEmpty() && request.recipientsFile.isEmpty() &&
        request.timestampsFile.isEmpty() && request.attachmentsFolder.isEmpty())
        return QStringLiteral("There is nothing to export.");
    if (!request.recipientsFile.isEmpty() && request.recipientsFile == request.timestampsFile)
        return QStringLiteral("You cannot assign a single file for both Recipients and Timestamps.");
    return QString();
}

ExtractOutcome RunExtract(const ExtractRequest& request) {
    ExtractOutcome outcome;
    mail::Message message;
    const QString work = MakeWorkFolder();
    message.SetWorkFolder(work);
    outcome.stopText = MessageFileFailureText(
        message.ImportMessageFile(request.messageFile, request.bodyPart, MessageImportFlags(true), 0));
    if (!outcome.stopText.isEmpty())
        return outcome;

    if (!request.bodyFolder.isEmpty()) {
        const QString bodyFile = QDir(request.bodyFolder).filePath(QStringLiteral("Body.txt"));
        const QByteArray text = message.GetTextBodyUtf8();
        // The message's text, as private as the rest of what is taken out of it.
        if (!MakeFolderPath(request.bodyFolder) ||
            !WriteFileAtomically(bodyFile, {text, "\r\n"}, /*privateFile=*/true))
            outcome.notWritten << bodyFile;
        else if (!message.BodiesWhole())
            outcome.cutShort << bodyFile;
        if (!work.isEmpty() && !CopyFolderContents(work, request.bodyFolder, /*overwrite=*/false))
            outcome.notWritten << request.bodyFolder;
    }
    // Names and addresses of people: readable by the user only, like the other files of personal data.
    if (!request.recipientsFile.isEmpty()) {
        outcome.recipientsCut = message.RecipientsCut();
        if (!WriteFileAtomically(request.recipientsFile, RecipientBlocks(message.GetRecipients()).toUtf8(),
                                 /*privateFile=*/true))
            outcome.notWritten << request.recipientsFile;
    }
    if (!request.timestampsFile.isEmpty()) {
        const QList<mail::ReceivedHeader> received = message.GetReceivedHeaders();
        outcome.receivedCut = message.ReceivedCut();
        if (!received.isEmpty() &&
            !WriteFileAtomically(request.timestampsFile, TimestampBlocks(received).toUtf8(),
                                 /*privateFile=*/true))
            outcome.notWritten << request.timestampsFile;
    }
    if (!request.attachmentsFolder.isEmpty())
        SaveAttachments(message, request, &outcome);
    // The parts and the body's files went into new files one by one, none flushed: now all at once.
    for (const QString& folder : {request.bodyFolder, request.attachmentsFolder})
        if (!folder.isEmpty() && QFileInfo(folder).isDir() && !SyncFileSystemOf(folder))
            outcome.notWritten << folder;
    return outcome;
}

QString ExtractReport(const ExtractOutcome& outcome) {
    QStringList failures;
    if (!outcome.notWritten.isEmpty())
        failures << NotWrittenText(outcome.notWritten);
    if (!outcome.cutShort.isEmpty())
        failures << QStringLiteral("These parts end early in the message and were not extracted whole (%1):")
                            .arg(outcome.cutShort.size()) +
                        QLatin1Char('\n') + outcome.cutShort.join(QLatin1Char('\n'));
    if (!failures.isEmpty())
        return failures.join(QStringLiteral("\n\n"));
    QString text = QStringLiteral("Extract process has been completed.");
    if (outcome.recipientsCut)
        text += QStringLiteral("\nOnly the first %1 recipients were written.").arg(mail::kMaxRecipients);
    if (outcome.receivedCut)
        text += QStringLiteral("\nOnly the first %1 timestamps were written.").arg(mail::kMaxReceivedHeaders);
    return text;
}
