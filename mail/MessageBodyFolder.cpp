// The body folder of an HTML message: index.htm, written as UTF-8 with its cid: references pointing at
// the pictures saved beside it.
#include "mail/MessageBodyFolder.h"

#include "mail/MimeSupport.h"
#include "mail/UniqueNames.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QUrl>

namespace mail {

namespace {

// Where the first <meta ... charset=...> names its charset, to be made to say utf-8 (the file is
// written as UTF-8); {-1, 0} when there is none. One pass: each tag is looked at once, up to its ">".
QPair<qsizetype, qsizetype> DeclaredCharset(QStringView html) {
    qsizetype i = 0;
    for (;;) {
        const qsizetype start = html.indexOf(QLatin1String("<meta"), i, Qt::CaseInsensitive);
        if (start < 0)
            return {-1, 0};
        const qsizetype end = html.indexOf(QLatin1Char('>'), start);
        if (end < 0)
            return {-1, 0};
        const QStringView tag = html.mid(start, end - start);
        const qsizetype cs = tag.indexOf(QLatin1String("charset"), 0, Qt::CaseInsensitive);
        if (cs >= 0) {
            qsizetype k = cs + 7;
            while (k < tag.size() && tag.at(k).isSpace())
                ++k;
            if (k < tag.size() && tag.at(k) == QLatin1Char('=')) {
                ++k;
                while (k < tag.size() && tag.at(k).isSpace())
                    ++k;
                if (k < tag.size() && (tag.at(k) == QLatin1Char('"') || tag.at(k) == QLatin1Char('\'')))
                    ++k;
                qsizetype e = k;
                while (e < tag.size() &&
                       (tag.at(e).isLetterOrNumber() || QStringLiteral("_.:-").contains(tag.at(e))))
                    ++e;
                if (e > k)
                    return {start + k, e - k};
            }
        }
        i = end + 1;
    }
}

// A new file written as UTF-8 piece by piece: a large body is never held as text and as bytes at once.
class Utf8File {
public:
    explicit Utf8File(const QString& path) : file_(path) {
        ok_ = file_.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner);
    }
    void Write(QStringView text) {
        constexpr qsizetype kPiece = 1 << 20;
        while (ok_ && !text.isEmpty()) {
            qsizetype n = qMin(kPiece, text.size());
            if (n < text.size() && text.at(n - 1).isHighSurrogate())
                --n; // never between the two halves of a character
            const QByteArray bytes = text.first(n).toUtf8();
            ok_ = file_.write(bytes) == bytes.size();
            text = text.sliced(n);
        }
    }
    bool Close() {
        file_.close();
        return ok_ && file_.error() == QFileDevice::NoError;
    }

private:
    QFile file_;
    bool ok_ = false;
};

// The HTML with every "cid:" reference that names a part saved beside it rewritten to that file, in
// one pass over the text. Content ids are compared without letter case.
void WriteRewritten(QStringView html, const QHash<QString, QString>& urlOfCid, Utf8File& out) {
    qsizetype i = 0;
    while (!urlOfCid.isEmpty()) {
        const qsizetype at = html.indexOf(QLatin1String("cid:"), i, Qt::CaseInsensitive);
        if (at < 0)
            break;
        qsizetype end = at + 4;
        while (end < html.size()) {
            const QChar c = html.at(end);
            if (c.isSpace() || c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char(')') ||
                c == QLatin1Char('>') || c == QLatin1Char('<'))
                break;
            ++end;
        }
        out.Write(html.mid(i, at - i));
        const QString id = html.mid(at + 4, end - at - 4).toString().toLower();
        auto it = urlOfCid.constFind(id);
        if (it == urlOfCid.constEnd())
            it = urlOfCid.constFind(QUrl::fromPercentEncoding(id.toUtf8()).toLower());
        out.Write(it != urlOfCid.constEnd() ? QStringView(it.value()) : html.mid(at, end - at));
        i = end;
    }
    out.Write(html.mid(i));
}

} // namespace

// A file of the fresh body folder: created new (never through something already there), without the
// flush to disk a replaced file needs, so ten thousand pictures take no longer than their bytes. It
// holds the user's mail: readable by the user only from the moment it exists.
bool WriteNewFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner))
        return false;
    const bool ok = f.write(bytes) == bytes.size();
    f.close();
    if (ok && f.error() == QFileDevice::NoError)
        return true;
    f.remove(); // ours, and incomplete
    return false;
}

qint32 WriteBodyFolder(const QString& workFolder, const QString& htmlBody, const QList<CidPart>& pictures,
                       QString* bodyFolder) {
    QDir work(workFolder);
    if (!work.mkpath(QStringLiteral(".")))
        return MessageFileIoError;
    QString folderName;
    for (int n = 1; n < 10000; ++n) {
        const QString candidate = QStringLiteral("Body%1").arg(n);
        if (!work.exists(candidate) &&
            work.mkdir(candidate, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
            folderName = candidate;
            break;
        }
    }
    if (folderName.isEmpty())
        return MessageFileIoError;
    const QString folder = work.absoluteFilePath(folderName);
    // The body is "index.htm"; a part of that name (or one the file system refuses) gets another
    // name beside it, so neither is lost.
    UniqueNames folderNames;
    folderNames.Take(QStringLiteral("index.htm"));
    QHash<QString, QString> urlOfCid;
    for (const auto& [part, index, cid] : pictures) {
        const BodyPart& p = *part;
        QString fileName = folderNames.Claim(p.PartFileName());
        if (!WriteNewFile(folder + QLatin1Char('/') + fileName, p.PartData())) {
            fileName = folderNames.Claim(
                QStringLiteral("part%1%2").arg(index + 1).arg(ExtensionForType(p.PartContentType())));
            if (!WriteNewFile(folder + QLatin1Char('/') + fileName, p.PartData()))
                continue; // the picture stays missing from the body; the part itself is kept
        }
        urlOfCid.insert(cid.toLower(), QString::fromUtf8(QUrl::toPercentEncoding(fileName, " ()")));
    }
    Utf8File index(folder + QStringLiteral("/index.htm"));
    const QStringView html(htmlBody);
    const auto [charsetAt, charsetLength] = DeclaredCharset(html);
    if (charsetAt >= 0) {
        WriteRewritten(html.first(charsetAt), urlOfCid, index);
        index.Write(u"utf-8");
        WriteRewritten(html.sliced(charsetAt + charsetLength), urlOfCid, index);
    } else {
        WriteRewritten(html, urlOfCid, index);
    }
    if (!index.Close())
        return MessageFileIoError;
    *bodyFolder = folder;
    return MessageOk;
}

} // namespace mail
