// ImportBodyFile: the HTML body of a message, read and analysed once so the send run can merge and
// compose per recipient without touching the file again.
#include "mail/MailCharsets.h"
#include "mail/MimeComposer.h"
#include "mail/MimeSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>

#include <new>

namespace mail {

namespace {

QString DecodeHtmlFile(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE"))
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                  (bytes.size() - 2) / 2);
    if (bytes.startsWith("\xFE\xFF")) {
        QString s;
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2)
            s += QChar(static_cast<char16_t>((static_cast<uchar>(bytes.at(i)) << 8) |
                                             static_cast<uchar>(bytes.at(i + 1))));
        return s;
    }
    static const QRegularExpression declared(
        QStringLiteral("<meta\\b[^>]*?charset\\s*=\\s*[\"']?([A-Za-z0-9_.:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = declared.match(QString::fromLatin1(bytes.left(4096)));
    // Read in the declared charset, only invalid sequences replaced; undeclared, UTF-8 when the bytes are
    // UTF-8, else Windows-1252.
    QString text;
    DecodeCharset(bytes, m.hasMatch() ? m.captured(1) : QString(), &text);
    return text;
}

// The MIME type of a file that really is an image, from its first bytes; empty otherwise.
QString ImageType(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = f.read(16);
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return QStringLiteral("image/png");
    if (head.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("image/jpeg");
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return QStringLiteral("image/gif");
    if (head.startsWith("BM") && head.size() >= 14)
        return QStringLiteral("image/bmp");
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return QStringLiteral("image/webp");
    if (head.startsWith(QByteArray("II*\0", 4)) || head.startsWith(QByteArray("MM\0*", 4)))
        return QStringLiteral("image/tiff");
    if (head.startsWith(QByteArray("\0\0\1\0", 4)))
        return QStringLiteral("image/x-icon");
    return {};
}

// The local file an attribute value names, or an empty text for remote and special URLs.
QString LocalPath(const QString& value, const QDir& base) {
    const QString v = value.trimmed();
    if (v.isEmpty() || v.startsWith(QLatin1String("//")))
        return {};
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const QRegularExpressionMatch m = scheme.match(v);
    if (m.hasMatch() && m.captured(1).size() > 1) {
        if (m.captured(1).compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
            return {}; // http, https, cid, data, mailto, ...
        return QUrl(v).toLocalFile();
    }
    QString path = QUrl::fromPercentEncoding(v.toUtf8());
    qsizetype cut = path.indexOf(QLatin1Char('?'));
    const qsizetype hash = path.indexOf(QLatin1Char('#'));
    if (hash >= 0 && (cut < 0 || hash < cut))
        cut = hash;
    if (cut >= 0)
        path.truncate(cut);
    return QFileInfo(path).isAbsolute() ? path : base.absoluteFilePath(path);
}

} // namespace

bool IsEmbeddablePicture(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && !ImageType(info.canonicalFilePath()).isEmpty();
}

qint32 ImportBodyFile(MessageSpec& spec, const QString& htmlPath, qint32 mode) {
    if (htmlPath.isEmpty() || (mode != ImportHtmlOnly && mode != ImportHtmlWithText))
        return ImportInvalidParameter;
    try {
        QByteArray bytes;
        const qint32 read = ReadRegularFile(htmlPath, &bytes);
        if (read == ComposeCannotOpenFile)
            return ImportOpenFailed;
        if (read != 0)
            return ImportReadFailed;
        QString html = DecodeHtmlFile(bytes);

        // Local images become related parts referenced by cid:, each file once. A local picture that
        // cannot be embedded is left out: the message never names a file of the sender's disk. A picture
        // element goes whole; on any other element only the attribute goes.
        static const QRegularExpression attribute(
            QStringLiteral("<([A-Za-z][A-Za-z0-9]*)\\b[^>]*?\\b((?:src|background)\\s*=\\s*)"
                           "(?:\"([^\"]*)\"|'([^']*)'|([^\\s>\"']+))"),
            QRegularExpression::CaseInsensitiveOption);
        const QDir base = QFileInfo(htmlPath).absoluteDir();
        QList<RelatedPart> related;
        QStringList leftOut;
        QHash<QString, QString> cidOfFile;
        QString rewritten;
        rewritten.reserve(html.size());
        qsizetype last = 0;
        auto it = attribute.globalMatch(html);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            if (m.capturedStart(0) < last)
                continue; // inside an element already left out
            const int group = m.capturedStart(3) >= 0 ? 3 : (m.capturedStart(4) >= 0 ? 4 : 5);
            const QString path = LocalPath(m.captured(group), base);
            if (path.isEmpty())
                continue;
            const QFileInfo info(path);
            const QString canonical = info.isFile() ? info.canonicalFilePath() : QString();
            QString cid = canonical.isEmpty() ? QString() : cidOfFile.value(canonical);
            const QString type = canonical.isEmpty() || !cid.isEmpty() ? QString() : ImageType(canonical);
            if (cid.isEmpty() && !type.isEmpty()) {
                const QByteArray hash =
                    QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
                cid =
                    QStringLiteral("img%1.%2@velanto").arg(related.size() + 1).arg(QString::fromLatin1(hash));
                cidOfFile.insert(canonical, cid);
                related.append(RelatedPart{canonical, cid, type});
            }
            if (!cid.isEmpty()) {
                rewritten += QStringView(html).mid(last, m.capturedStart(group) - last);
                rewritten += QStringLiteral("cid:") + cid;
                last = m.capturedEnd(group);
                continue;
            }
            // not a file, not readable, or not an image
            const QString name = QDir::cleanPath(info.absoluteFilePath());
            if (!leftOut.contains(name))
                leftOut.append(name);
            if (m.captured(1).compare(QLatin1String("img"), Qt::CaseInsensitive) == 0) {
                rewritten += QStringView(html).mid(last, m.capturedStart(0) - last);
                const qsizetype close = html.indexOf(QLatin1Char('>'), m.capturedEnd(0));
                last = close < 0 ? html.size() : close + 1;
            } else {
                qsizetype from = m.capturedStart(2);
                while (from > 0 && html.at(from - 1).isSpace())
                    --from; // the blank before the attribute goes with it
                rewritten += QStringView(html).mid(last, from - last);
                last = m.capturedEnd(0);
            }
        }
        rewritten += QStringView(html).mid(last);

        spec.bodyFormat = 1;
        spec.htmlBody = rewritten;
        spec.related = related;
        spec.leftOutPictures = leftOut;
        spec.textAlternative = mode == ImportHtmlWithText;
        if (spec.textAlternative)
            spec.bodyText = HtmlToText(rewritten);
        return ImportOk;
    } catch (const std::bad_alloc&) {
        return ImportParserFailed;
    }
}

} // namespace mail
