#include "platform/mail/MimeComposer.h"

namespace mail {

QByteArray ComposeMessage(const MessageSpec&, qint32* result) {
    if (result)
        *result = ComposeBodyProblem;
    return {};
}

qint32 ImportBodyFile(MessageSpec&, const QString&, qint32) {
    return ImportParserFailed;
}

qint32 ReplaceMergeField(MessageSpec&, const QString&, const QString&) {
    return ImportInvalidParameter;
}

QString EncodeHeaderText(const QString&, const QString&, qint32) {
    return QStringLiteral("ERR:not ready");
}

qint32 SaveMessageFile(const MessageSpec&, const QString&) {
    return ComposeBodyProblem;
}

} // namespace mail
