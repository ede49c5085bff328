#include "tests/tools/EmlCorpus.h"

namespace corpus {

QByteArray Png() {
    return QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==");
}

QList<Eml> Messages() {
    QList<Eml> out;
    const QByteArray png64 = Png().toBase64();

    Eml related;
    related.label = "alternative with related image";
    related.bytes =
        "From: Ann <ann@example.com>\r\nTo: Bob <bob@example.com>, \"Last, First\" <lf@example.com>\r\n"
        "Cc: carl@example.com\r\nSubject: Spring offer\r\nMIME-Version: 1.0\r\n"
        "Received: from mx.example.com (mx [10.0.0.1]) by in.example.org with ESMTP id abc123 "
        "for <bob@example.com>; Tue, 8 Dec 2026 10:11:12 -0500\r\n"
        "Content-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n"
        "--alt\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nSpring offer text\r\n"
        "--alt\r\nContent-Type: multipart/related; boundary=\"rel\"\r\n\r\n"
        "--rel\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
        "<html><body><p>Spring offer text</p><img src=\"cid:logo@x\"></body></html>\r\n"
        "--rel\r\nContent-Type: image/png\r\nContent-ID: <logo@x>\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-Disposition: inline; filename=\"logo.png\"\r\n\r\n" +
        png64 + "\r\n--rel--\r\n--alt--\r\n";
    related.subject = QStringLiteral("Spring offer");
    related.bodyText = QStringLiteral("Spring offer text");
    related.hasHtml = true;
    out << related;

    Eml names;
    names.label = "RFC 2231 and encoded-word names";
    names.bytes =
        "From: a@example.com\r\nTo: b@example.com\r\nSubject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"mix\"\r\n\r\n"
        "--mix\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nSee the files\r\n"
        "--mix\r\nContent-Type: application/pdf\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment; filename*=UTF-8''%C3%BCber%20Bericht.pdf\r\n\r\n"
        "JVBERi0xLjQK\r\n"
        "--mix\r\nContent-Type: text/plain; charset=utf-8; name=\"=?UTF-8?B?w6lsw6h2ZS50eHQ=?=\"\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n"
        "Content-Disposition: attachment; filename=\"=?UTF-8?B?w6lsw6h2ZS50eHQ=?=\"\r\n\r\n"
        "notes =C3=A9\r\n--mix--\r\n";
    names.subject = QString::fromUtf8("Grüße");
    names.bodyText = QStringLiteral("See the files");
    names.attachments = {{QString::fromUtf8("über Bericht.pdf"), QByteArray("%PDF-1.4\n")},
                         {QString::fromUtf8("élève.txt"), QByteArray("notes \xc3\xa9")}};
    out << names;

    Eml nested;
    nested.label = "nested message";
    nested.bytes = "From: a@example.com\r\nTo: b@example.com\r\nSubject: Forwarded\r\nMIME-Version: 1.0\r\n"
                   "Content-Type: multipart/mixed; boundary=\"out\"\r\n\r\n"
                   "--out\r\nContent-Type: text/plain\r\n\r\nForwarding this\r\n"
                   "--out\r\nContent-Type: message/rfc822\r\nContent-Disposition: attachment; "
                   "filename=\"inner.eml\"\r\n\r\n"
                   "From: c@example.com\r\nSubject: Inner\r\n\r\nInner body\r\n"
                   "--out--\r\n";
    nested.subject = QStringLiteral("Forwarded");
    nested.bodyText = QStringLiteral("Forwarding this");
    nested.attachments = {{QStringLiteral("inner.eml"), QByteArray()}}; // bytes: the inner message
    out << nested;

    struct Body {
        const char* label;
        const char* charset;
        const char* encoding;
        QByteArray encoded;
        QString text;
    };
    const Body bodies[] = {
        {"quoted-printable Latin-1", "iso-8859-1", "quoted-printable", "Caf=E9 cr=E8me",
         QString::fromUtf8("Café crème")},
        {"base64 UTF-8", "utf-8", "base64", QByteArray("Привет мир").toBase64(),
         QString::fromUtf8("Привет мир")},
        {"base64 KOI8-R", "koi8-r", "base64", QByteArray("\xf0\xd2\xc9\xd7\xc5\xd4").toBase64(),
         QString::fromUtf8("Привет")},
    };
    for (const Body& b : bodies) {
        Eml e;
        e.label = b.label;
        e.bytes =
            QByteArray("From: a@example.com\r\nTo: b@example.com\r\nSubject: Charset\r\nMIME-Version: 1.0\r\n"
                       "Content-Type: text/plain; charset=") +
            b.charset + "\r\nContent-Transfer-Encoding: " + b.encoding + "\r\n\r\n" + b.encoded + "\r\n";
        e.subject = QStringLiteral("Charset");
        e.bodyText = b.text;
        out << e;
    }
    return out;
}

QByteArray HostileNames() {
    QByteArray m = "From: a@example.com\r\nTo: b@example.com\r\nSubject: Names\r\nMIME-Version: 1.0\r\n"
                   "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: "
                   "text/plain\r\n\r\nbody\r\n";
    const QByteArray names[] = {"../../x", "/etc/x", "..", "a\tb\\0c", "same.txt", "same.txt"};
    int n = 0;
    for (const QByteArray& name : names) {
        QByteArray shown = name;
        shown.replace("\\0", QByteArray(1, '\0'));
        m += "--b\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\"" +
             shown + "\"\r\n\r\npart" + QByteArray::number(++n) + "\r\n";
    }
    return m + "--b--\r\n";
}

} // namespace corpus
