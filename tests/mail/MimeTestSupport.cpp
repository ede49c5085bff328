#include "MimeTestSupport.h"

#include "mail/GMimeInclude.h"
#include "mail/MimeSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

namespace mimetest {

QString Folder::write(const QString& name, const QByteArray& bytes) const {
    QFile f(path(name));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return f.fileName();
}

QJsonObject PythonSummary(const QByteArray& message) {
    Folder folder;
    const QString file = folder.write(QStringLiteral("message.eml"), message);
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(MAIL_TEST_PEERS "/parse_message.py"), file});
    if (!p.waitForFinished(20000) || p.exitCode() != 0) {
        qWarning("parse_message.py: %s", p.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QList<QJsonObject> PythonLeaves(const QJsonObject& summary) {
    QList<QJsonObject> out;
    for (const QJsonValue& v : summary.value(QStringLiteral("parts")).toArray()) {
        const QJsonObject o = v.toObject();
        if (o.contains(QStringLiteral("bytes"))) // containers (multiparts, attached messages) have none
            out << o;
    }
    return out;
}

QByteArray LeafBytes(const QJsonObject& leaf) {
    return QByteArray::fromBase64(leaf.value(QStringLiteral("bytes")).toString().toLatin1());
}

bool GMimeParses(const QByteArray& message, QString* subject, int* leafCount) {
    mail::InitGMime();
    GMimeStream* stream =
        g_mime_stream_mem_new_with_buffer(message.constData(), static_cast<size_t>(message.size()));
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* m = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!m)
        return false;
    const char* s = g_mime_message_get_subject(m);
    *subject = QString::fromUtf8(s ? s : "");
    int count = 0;
    GMimePartIter* it = g_mime_part_iter_new(GMIME_OBJECT(m));
    do {
        GMimeObject* cur = g_mime_part_iter_get_current(it);
        if (cur && GMIME_IS_PART(cur))
            ++count;
    } while (g_mime_part_iter_next(it));
    g_mime_part_iter_free(it);
    *leafCount = count;
    g_object_unref(m);
    return true;
}

QByteArray TinyPng() {
    QImage img(3, 2, QImage::Format_RGB32);
    img.fill(Qt::red);
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "PNG");
    return bytes;
}

} // namespace mimetest
