#include "sending/SendCheckRules.h"

#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "mail/MimeComposer.h"

bool IsReplyOrForwardSubject(const QString& subject) {
    const QString three = subject.left(3).toUpper();
    const QString four = subject.left(4).toUpper();
    return three == QLatin1String("RE:") || three == QLatin1String("FW:") || four == QLatin1String("RE :") ||
           four == QLatin1String("FW :");
}

bool IsEmptyBodyText(const QString& text) {
    QString rest = text;
    rest.remove(QLatin1String("\r\n"));
    rest.remove(QLatin1Char(' '));
    return rest.isEmpty();
}

bool AccountIsComplete() {
    for (const char* key : {Keys::Name, Keys::Email, Keys::Server, Keys::Port}) {
        if (GetSetting(Sections::Account, key).isEmpty())
            return false;
    }
    return true;
}

QStringList PicturesThatCannotBeRead(const QMap<QString, QString>& pictureFiles) {
    QStringList files;
    for (const QString& path : pictureFiles) {
        if (!path.isEmpty() && !files.contains(path) && !mail::IsEmbeddablePicture(path))
            files << path;
    }
    return files;
}

namespace {
// The files one to a line; a long list names the first few and how many more there are.
QString FileList(const QStringList& files) {
    constexpr qsizetype kShown = 10;
    QString list = files.mid(0, kShown).join(QStringLiteral("\r\n"));
    if (files.size() > kShown)
        list += QStringLiteral("\r\n... and %1 more").arg(files.size() - kShown);
    return list;
}
} // namespace

QString UnreadablePicturesQuestion(const QStringList& files) {
    return QStringLiteral("The following pictures of this message cannot be read:\r\n\r\n") +
           FileList(files) +
           QStringLiteral(
               "\r\n\r\nThe message would be sent without them. Are you sure you want to send it?");
}

QString UnreadablePicturesWarning(const QStringList& files) {
    return QStringLiteral("The following pictures of this message cannot be read:\r\n\r\n") +
           FileList(files) +
           QStringLiteral("\r\n\r\nThe preview shows the message without them, as it would be sent.");
}

QString LeftOutPicturesLogText(const QStringList& files) {
    return QStringLiteral("These pictures cannot be read and are left out of the messages: \"") +
           files.join(QStringLiteral("\", \"")) + QStringLiteral("\".");
}
