// The composer's messages, read back by Python's email package and by GMime.
#include "MimeTestSupport.h"

#include "core/CharacterSettings.h"
#include "mail/MailCharsets.h"
#include "mail/Message.h"
#include "mail/MimeComposer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QUrl>

#include <gtest/gtest.h>

using namespace mail;
using namespace mimetest;

namespace {

QString H(const QJsonObject& summary, const char* name) {
    return summary.value(QStringLiteral("headers")).toObject().value(QLatin1String(name)).toString();
}

QString Normalized(QString s) {
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}

// Every line ends with CR LF, none is longer than 998 characters.
void ExpectWireSafe(const QByteArray& bytes) {
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) == '\n') {
            ASSERT_TRUE(i > 0 && bytes.at(i - 1) == '\r') << "bare LF at " << i;
            EXPECT_LE(i - 1 - lineStart, 998);
            lineStart = i + 1;
        } else if (bytes.at(i) == '\r') {
            ASSERT_TRUE(i + 1 < bytes.size() && bytes.at(i + 1) == '\n') << "bare CR at " << i;
        }
    }
}

QByteArray WithoutVariableHeaders(QByteArray bytes) {
    static const QRegularExpression variable(QStringLiteral("(?m)^(Date|Message-ID): [^\\r]*\\r\\n"));
    return QString::fromLatin1(bytes).remove(variable).toLatin1();
}

MessageSpec BaseSpec() {
    MessageSpec spec;
    spec.fromName = QStringLiteral("Jörg Müller");
    spec.fromAddress = QStringLiteral("joerg@example.org");
    spec.recipients = {{QStringLiteral("Smith, John"), QStringLiteral("john@example.org"), RecipientKind::To},
                       {QStringLiteral("Анна"), QStringLiteral("anna@example.org"), RecipientKind::Cc}};
    spec.subject = QStringLiteral("Angebot für Sie");
    spec.charset = QStringLiteral("iso-8859-1");
    spec.boundaryPrefix = QStringLiteral("K3B4C7D1E9");
    spec.headers = {{QStringLiteral("X-Mailer"), QStringLiteral("Torvale Velanto Ostrel 1.0")}};
    return spec;
}

} // namespace

TEST(MimeComposer, HtmlBodyWithImagesAlternativeAndAttachmentsReadsBackExactly) {
    Folder folder;
    const QByteArray png = TinyPng();
    folder.write(QStringLiteral("logo.png"), png);
    folder.write(QStringLiteral("fake.png"), "not an image at all");
    folder.write(QStringLiteral("page.htm"),
                 "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
                 "<title>T</title><style>p{}</style></head><body>"
                 "<p>Hallo $*MergeFirstName*$, sch\xC3\xB6ne Gr\xC3\xBC\xC3\x9F"
                 "e &amp; mehr</p>"
                 "<img src=\"logo.png\"><img src='logo.png'><img src=\"fake.png\">"
                 "<img src=\"http://example.org/remote.png\"><br>Zeile 2</body></html>");
    QByteArray binary;
    for (int i = 0; i < 3000; ++i)
        binary.append(static_cast<char>((i * 7) % 256));
    const QString binPath = folder.write(QStringLiteral("data.bin"), binary);
    const QString lfText = folder.write(QStringLiteral("notes.txt"), "line one\nline two  \n.dot\r\nend=\n");
    const QString crlfText = folder.write(QStringLiteral("plain.txt"), "first\r\nsecond\r\n");
    const QString binNone = folder.write(QStringLiteral("raw.bin"), binary.left(100));

    MessageSpec spec = BaseSpec();
    spec.priority = QStringLiteral("1");
    spec.headers.append({QStringLiteral("X-Campaign"), QStringLiteral("spring\r\nBcc: victim@example.org")});
    ASSERT_EQ(ImportBodyFile(spec, folder.path(QStringLiteral("page.htm")), ImportHtmlWithText), 0);
    ASSERT_EQ(spec.related.size(), 1) << "one part per image file; a non-image is not embedded";
    EXPECT_TRUE(spec.htmlBody.contains(QStringLiteral("src=\"cid:") + spec.related.at(0).contentId));
    EXPECT_TRUE(spec.htmlBody.contains(QStringLiteral("src='cid:") + spec.related.at(0).contentId));
    EXPECT_FALSE(spec.htmlBody.contains(QStringLiteral("fake.png"))) << "never a reference to a local file";
    EXPECT_TRUE(spec.htmlBody.contains(QStringLiteral("http://example.org/remote.png")));
    ASSERT_EQ(ReplaceMergeField(spec, QStringLiteral("$*MergeFirstName*$"), QStringLiteral("Eva")), 0);
    spec.attachments = {{binPath, AttachBase64},
                        {lfText, AttachQuotedPrintable},
                        {crlfText, AttachNone},
                        {binNone, AttachNone}};

    qint32 rc = -1;
    const QByteArray bytes = ComposeMessage(spec, &rc);
    ASSERT_EQ(rc, 0);
    ExpectWireSafe(bytes);

    const QJsonObject py = PythonSummary(bytes);
    ASSERT_FALSE(py.isEmpty());
    EXPECT_TRUE(py.value(QStringLiteral("defects")).toArray().isEmpty());
    EXPECT_EQ(H(py, "From"), QStringLiteral("Jörg Müller <joerg@example.org>"));
    EXPECT_EQ(H(py, "To"), QStringLiteral("\"Smith, John\" <john@example.org>"));
    EXPECT_EQ(H(py, "Cc"), QStringLiteral("Анна <anna@example.org>"));
    EXPECT_EQ(H(py, "Subject"), QStringLiteral("Angebot für Sie"));
    EXPECT_EQ(H(py, "X-Priority"), QStringLiteral("1 (Highest)"));
    EXPECT_EQ(H(py, "Importance"), QStringLiteral("High"));
    EXPECT_EQ(H(py, "X-Mailer"), QStringLiteral("Torvale Velanto Ostrel 1.0"));
    EXPECT_EQ(H(py, "X-Campaign"), QStringLiteral("spring Bcc: victim@example.org"));
    EXPECT_TRUE(H(py, "Bcc").isEmpty());
    EXPECT_EQ(H(py, "MIME-Version"), QStringLiteral("1.0"));

    QStringList types;
    for (const QJsonValue& v : py.value(QStringLiteral("parts")).toArray()) {
        types << v.toObject().value(QStringLiteral("type")).toString();
        const QString boundary = v.toObject().value(QStringLiteral("boundary")).toString();
        if (!boundary.isEmpty()) {
            EXPECT_TRUE(boundary.startsWith(QLatin1String("K3B4C7D1E9"))) << boundary.toStdString();
        }
    }
    EXPECT_EQ(types, QStringList({"multipart/mixed", "multipart/alternative", "text/plain",
                                  "multipart/related", "text/html", "image/png", "application/octet-stream",
                                  "text/plain", "text/plain", "application/octet-stream"}));
    const QList<QJsonObject> leaves = PythonLeaves(py);
    ASSERT_EQ(leaves.size(), 7);
    const QString text = leaves[0].value(QStringLiteral("text")).toString();
    EXPECT_TRUE(text.contains(QStringLiteral("Hallo Eva, schöne Grüße & mehr"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nZeile 2")));
    EXPECT_FALSE(text.contains(QLatin1Char('<')));
    EXPECT_EQ(leaves[0].value(QStringLiteral("charset")).toString(), QStringLiteral("iso-8859-1"));
    const QString html = leaves[1].value(QStringLiteral("text")).toString();
    EXPECT_TRUE(html.contains(QStringLiteral("Hallo Eva, schöne Grüße")));
    EXPECT_TRUE(html.contains(QStringLiteral("charset=iso-8859-1"))) << "the declaration says what is sent";
    EXPECT_EQ(leaves[2].value(QStringLiteral("cid")).toString(),
              QLatin1Char('<') + spec.related.at(0).contentId + QLatin1Char('>'));
    EXPECT_EQ(LeafBytes(leaves[2]), png);
    EXPECT_EQ(LeafBytes(leaves[3]), binary);
    EXPECT_EQ(leaves[3].value(QStringLiteral("filename")).toString(), QStringLiteral("data.bin"));
    EXPECT_EQ(leaves[3].value(QStringLiteral("disposition")).toString(), QStringLiteral("attachment"));
    EXPECT_EQ(leaves[4].value(QStringLiteral("cte")).toString(), QStringLiteral("quoted-printable"));
    EXPECT_EQ(LeafBytes(leaves[4]), QByteArray("line one\nline two  \n.dot\r\nend=\n"));
    EXPECT_EQ(leaves[5].value(QStringLiteral("cte")).toString(), QStringLiteral("7bit"));
    EXPECT_EQ(LeafBytes(leaves[5]), QByteArray("first\r\nsecond\r\n"));
    EXPECT_EQ(leaves[6].value(QStringLiteral("cte")).toString(), QStringLiteral("base64"))
        << "binary bytes cannot travel unencoded";
    EXPECT_EQ(LeafBytes(leaves[6]), binary.left(100));

    QString subject;
    int leafCount = 0;
    ASSERT_TRUE(GMimeParses(bytes, &subject, &leafCount));
    EXPECT_EQ(subject, QStringLiteral("Angebot für Sie"));
    EXPECT_EQ(leafCount, 7);

    // The same input gives the same bytes, apart from Date and Message-ID.
    qint32 rc2 = -1;
    EXPECT_EQ(WithoutVariableHeaders(ComposeMessage(spec, &rc2)), WithoutVariableHeaders(bytes));
}

TEST(MimeComposer, PlainBodyEncodingsAndPriorities) {
    struct Case {
        qint32 encoding;
        const char* cte;
        const char* priority;
        const char* xPriority;
    } cases[] = {{EncodingNone, "8bit", "5", "5 (Lowest)"},
                 {EncodingQuotedPrintable, "quoted-printable", "3", "3 (Normal)"},
                 {EncodingBase64, "base64", "", ""}};
    for (const Case& c : cases) {
        MessageSpec spec = BaseSpec();
        spec.bodyText = QStringLiteral("Zeile eins äö\nZeile zwei\r\n.\r\nFrom here\r\nEnde");
        spec.bodyEncoding = c.encoding;
        spec.priority = QLatin1String(c.priority);
        qint32 rc = -1;
        const QByteArray bytes = ComposeMessage(spec, &rc);
        ASSERT_EQ(rc, 0);
        ExpectWireSafe(bytes);
        const QJsonObject py = PythonSummary(bytes);
        const QList<QJsonObject> leaves = PythonLeaves(py);
        ASSERT_EQ(leaves.size(), 1);
        EXPECT_EQ(leaves[0].value(QStringLiteral("cte")).toString(), QLatin1String(c.cte));
        EXPECT_EQ(Normalized(leaves[0].value(QStringLiteral("text")).toString()).trimmed(),
                  QStringLiteral("Zeile eins äö\nZeile zwei\n.\nFrom here\nEnde"));
        EXPECT_EQ(H(py, "X-Priority"), QLatin1String(c.xPriority));
    }

    // Unencoded lines too long for SMTP go as quoted-printable instead of being broken.
    MessageSpec spec = BaseSpec();
    spec.bodyText = QString(2000, QLatin1Char('x'));
    spec.bodyEncoding = EncodingNone;
    spec.headers.append({QStringLiteral("X-Long"), QString(2000, QLatin1Char('y'))});
    qint32 rc = -1;
    const QByteArray bytes = ComposeMessage(spec, &rc);
    ExpectWireSafe(bytes);
    const QJsonObject py = PythonSummary(bytes);
    EXPECT_EQ(H(py, "X-Long"), QString(2000, QLatin1Char('y')));
    const QList<QJsonObject> leaves = PythonLeaves(py);
    ASSERT_EQ(leaves.size(), 1);
    EXPECT_EQ(leaves[0].value(QStringLiteral("text")).toString().trimmed(), QString(2000, QLatin1Char('x')));
}

TEST(MimeComposer, CharsetsKeepTheirLabelAndText) {
    struct Case {
        const char* label;
        QString text;
    } cases[] = {
        {"iso-8859-1", QStringLiteral("Grüße, café")},
        {"Windows-1252", QStringLiteral("Preis 5 € – „gut“")},
        {"koi8-r", QStringLiteral("Привет, мир")},
        {"shift-jis", QStringLiteral("こんにちは世界")},
        {"iso-2022-jp", QStringLiteral("日本語のテキスト")},
        {"euc-kr", QStringLiteral("안녕하세요")},
        {"utf-7", QStringLiteral("Grüße 日本")},
        {"iso-8859-11", QStringLiteral("สวัสดี")},
        {"windows-874", QStringLiteral("สวัสดี")},
        {"iso-ir-149", QStringLiteral("안녕하세요 세계")},
        {"iso-8859-8-i", QStringLiteral("שלום עולם")},
        {"hz-gb-2312", QStringLiteral("你好~世界 abc")},
        {"x-user-defined", QStringLiteral("abc") + QChar(0xF7A0) + QChar(0xF7FF)},
        {"us-ascii", QStringLiteral("plain text")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MessageSpec spec = BaseSpec();
        spec.charset = QLatin1String(c.label);
        spec.subject = c.text;
        spec.bodyText = c.text + QStringLiteral("\nline 2");
        qint32 rc = -1;
        const QByteArray bytes = ComposeMessage(spec, &rc);
        ASSERT_EQ(rc, 0);
        ExpectWireSafe(bytes);
        const QList<QJsonObject> leaves = PythonLeaves(PythonSummary(bytes));
        ASSERT_EQ(leaves.size(), 1);
        EXPECT_EQ(leaves[0].value(QStringLiteral("charset")).toString(), QLatin1String(c.label));
        // our own decoder reads what the composer wrote, also for the charsets Python lacks
        QString decoded;
        DecodeCharset(LeafBytes(leaves[0]), QLatin1String(c.label), &decoded);
        EXPECT_EQ(Normalized(decoded).trimmed(), c.text + QStringLiteral("\nline 2"));
        if (QByteArray(c.label) != "x-user-defined" && QByteArray(c.label) != "hz-gb-2312") {
            EXPECT_EQ(Normalized(leaves[0].value(QStringLiteral("text")).toString()).trimmed(),
                      c.text + QStringLiteral("\nline 2"));
        }
        const qsizetype at = bytes.indexOf("Subject: ");
        const QByteArray subjectLine =
            bytes.mid(at + 9, bytes.indexOf("\r\nDate:", at) - at - 9).replace("\r\n", "");
        EXPECT_EQ(DecodeHeaderWords(subjectLine), c.text);
    }

    // Text the charset cannot hold goes as UTF-8, without losing a character.
    MessageSpec spec = BaseSpec();
    spec.charset = QStringLiteral("iso-8859-1");
    spec.bodyText = QStringLiteral("Ελληνικά and Русский");
    qint32 rc = -1;
    const QJsonObject py = PythonSummary(ComposeMessage(spec, &rc));
    const QList<QJsonObject> leaves = PythonLeaves(py);
    ASSERT_EQ(leaves.size(), 1);
    EXPECT_EQ(leaves[0].value(QStringLiteral("charset")).toString(), QStringLiteral("utf-8"));
    EXPECT_EQ(leaves[0].value(QStringLiteral("text")).toString().trimmed(), spec.bodyText);
}

// Every charset the account can choose is known by name: its label goes on the wire as chosen, and
// the parser reads back what the composer wrote.
TEST(MimeComposer, EveryChoosableCharsetIsSentUnderItsOwnLabel) {
    Folder folder;
    for (const CharsetName& row : CharsetTable) {
        SCOPED_TRACE(row.mimeName);
        const QString label = QLatin1String(row.mimeName);
        EXPECT_TRUE(IsKnownCharset(label));
        MessageSpec spec = BaseSpec();
        spec.charset = label;
        spec.subject = EncodeHeaderText(QStringLiteral("Spring offer"), label, HeaderQuotedPrintable);
        EXPECT_TRUE(spec.subject.contains(label)) << spec.subject.toStdString();
        spec.bodyText = QStringLiteral("Dear reader,\nthe offer stands.");
        const QString eml = folder.path(QStringLiteral("c.eml"));
        ASSERT_EQ(SaveMessageFile(spec, eml), 0);
        QFile f(eml);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll().contains("charset=" + label.toLatin1()));
        Message message;
        ASSERT_EQ(message.ImportMessageFile(eml, BodyPartText, 0), 0);
        EXPECT_EQ(message.GetSubject(), QStringLiteral("Spring offer"));
        EXPECT_EQ(message.GetTextBody().trimmed(), QStringLiteral("Dear reader,\r\nthe offer stands."));
    }
}

TEST(MimeComposer, EncodeHeaderTextGivesEncodedWordsOrAnError) {
    const QString q = EncodeHeaderText(QStringLiteral("Grüße aus Köln"), QStringLiteral("iso-8859-1"),
                                       HeaderQuotedPrintable);
    EXPECT_EQ(q, QStringLiteral("=?iso-8859-1?Q?Gr=FC=DFe_aus_K=F6ln?="));
    const QString b = EncodeHeaderText(QStringLiteral("Grüße"), QStringLiteral("utf-8"), HeaderBase64);
    EXPECT_EQ(b, QStringLiteral("=?utf-8?B?R3LDvMOfZQ==?="));

    const QString longText = QString(40, QChar(0x65E5)) + QStringLiteral(" end");
    const QString words = EncodeHeaderText(longText, QStringLiteral("iso-2022-jp"), HeaderBase64);
    for (const QString& w : words.split(QLatin1Char(' ')))
        EXPECT_LE(w.size(), 75);
    EXPECT_EQ(DecodeHeaderWords(words.toLatin1()), longText);

    EXPECT_EQ(EncodeHeaderText(QStringLiteral("a\r\nBcc: x"), QStringLiteral("utf-8"), HeaderQuotedPrintable),
              QStringLiteral("=?utf-8?Q?a_Bcc=3A_x?="));
    EXPECT_EQ(EncodeHeaderText(QString(), QStringLiteral("utf-8"), HeaderQuotedPrintable), QString());
    EXPECT_TRUE(
        EncodeHeaderText(QStringLiteral("x"), QStringLiteral("no-such-charset"), HeaderQuotedPrintable)
            .startsWith(QLatin1String("ERR:")));
    EXPECT_TRUE(
        EncodeHeaderText(QStringLiteral("x"), QStringLiteral("utf-8"), 3).startsWith(QLatin1String("ERR:")));
    // a charset that cannot hold the text: UTF-8 words instead of lost characters
    EXPECT_EQ(EncodeHeaderText(QStringLiteral("Ж"), QStringLiteral("iso-8859-1"), HeaderBase64),
              QStringLiteral("=?utf-8?B?0JY=?="));

    // An encoded subject is sent as it is.
    MessageSpec spec = BaseSpec();
    spec.subject = q;
    qint32 rc = -1;
    EXPECT_TRUE(ComposeMessage(spec, &rc).contains("\r\nSubject: " + q.toLatin1() + "\r\n"));
}

TEST(MimeComposer, MergeFieldsReachEveryBody) {
    Folder folder;
    folder.write(QStringLiteral("m.htm"), "<p>Dear $*MergeFirstName*$ $*MergeLastName*$, $*MergeIP*$</p>");
    MessageSpec spec = BaseSpec();
    ASSERT_EQ(ImportBodyFile(spec, folder.path(QStringLiteral("m.htm")), ImportHtmlWithText), 0);
    EXPECT_TRUE(spec.textAlternative);
    ReplaceMergeField(spec, QStringLiteral("$*MergeFirstName*$"), QStringLiteral("Ann"));
    ReplaceMergeField(spec, QStringLiteral("$*MergeLastName*$"), QStringLiteral("Lee"));
    EXPECT_EQ(spec.htmlBody, QStringLiteral("<p>Dear Ann Lee, $*MergeIP*$</p>"));
    EXPECT_EQ(spec.bodyText, QStringLiteral("Dear Ann Lee, $*MergeIP*$"));
    EXPECT_EQ(ReplaceMergeField(spec, QString(), QStringLiteral("x")), ImportInvalidParameter);

    // A value with HTML's special characters shows as typed in the HTML; the text part keeps it raw.
    ASSERT_EQ(ImportBodyFile(spec, folder.path(QStringLiteral("m.htm")), ImportHtmlWithText), 0);
    ReplaceMergeField(spec, QStringLiteral("$*MergeFirstName*$"), QStringLiteral("A&B <Co> \"x\""));
    EXPECT_TRUE(spec.htmlBody.contains(QStringLiteral("Dear A&amp;B &lt;Co&gt; &quot;x&quot; ")));
    EXPECT_TRUE(spec.bodyText.contains(QStringLiteral("Dear A&B <Co> \"x\" ")));

    MessageSpec plain = BaseSpec();
    plain.bodyText = QStringLiteral("Hi $*MergeEmail*$");
    ReplaceMergeField(plain, QStringLiteral("$*MergeEmail*$"), QStringLiteral("a@b.c"));
    EXPECT_EQ(plain.bodyText, QStringLiteral("Hi a@b.c"));

    ASSERT_EQ(ImportBodyFile(spec, folder.path(QStringLiteral("m.htm")), ImportHtmlOnly), 0);
    EXPECT_FALSE(spec.textAlternative);
    qint32 rc = -1;
    const QStringList types = [&] {
        QStringList t;
        for (const QJsonValue& v :
             PythonSummary(ComposeMessage(spec, &rc)).value(QStringLiteral("parts")).toArray())
            t << v.toObject().value(QStringLiteral("type")).toString();
        return t;
    }();
    EXPECT_EQ(types, QStringList({"text/html"}));
}

TEST(MimeComposer, FailuresGiveTheirCodes) {
    Folder folder;
    MessageSpec spec = BaseSpec();
    EXPECT_EQ(ImportBodyFile(spec, folder.path(QStringLiteral("missing.htm")), ImportHtmlOnly),
              ImportOpenFailed);
    EXPECT_EQ(ImportBodyFile(spec, folder.path(QString()), ImportHtmlOnly), ImportOpenFailed);
    folder.write(QStringLiteral("ok.htm"), "<p>x</p>");
    EXPECT_EQ(ImportBodyFile(spec, folder.path(QStringLiteral("ok.htm")), 5), ImportInvalidParameter);
    EXPECT_EQ(ImportBodyFile(spec, QString(), ImportHtmlOnly), ImportInvalidParameter);

    spec.bodyText = QStringLiteral("body");
    spec.attachments = {{folder.path(QStringLiteral("missing.pdf")), AttachBase64}};
    qint32 rc = -1;
    EXPECT_TRUE(ComposeMessage(spec, &rc).isEmpty());
    EXPECT_EQ(rc, ComposeCannotOpenFile);
    EXPECT_EQ(SaveMessageFile(spec, folder.path(QStringLiteral("out.eml"))), ComposeCannotOpenFile);
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("out.eml"))));

    spec.attachments.clear();
    const QString out = folder.write(QStringLiteral("out.eml"), "old content");
    ASSERT_EQ(SaveMessageFile(spec, out), 0);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("From: "));
    EXPECT_EQ(SaveMessageFile(spec, folder.path(QStringLiteral("no/such/folder/x.eml"))),
              ComposeCannotOpenFile);
}

TEST(MimeComposer, ImportReadsTheFileInItsOwnCharsetAndFindsImagesByUrl) {
    Folder folder;
    folder.write(QStringLiteral("my pic.gif"), QByteArray("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14));
    const QString gifUrl = QUrl::fromLocalFile(folder.path(QStringLiteral("my pic.gif"))).toString();
    folder.write(QStringLiteral("w.htm"),
                 "<p>caf\xE9</p><img src=\"my%20pic.gif\"><td background=\"" + gifUrl.toUtf8() +
                     "\"><img src=\"data:image/png;base64,AAAA\"><img src=\"cid:keep\">");
    folder.write(QStringLiteral("k.htm"), "<meta charset=\"koi8-r\"><p>\xF0\xD2\xC9\xD7\xC5\xD4</p>");
    MessageSpec spec = BaseSpec();
    ASSERT_EQ(ImportBodyFile(spec, folder.path(QStringLiteral("w.htm")), ImportHtmlOnly), 0);
    EXPECT_TRUE(spec.htmlBody.startsWith(QStringLiteral("<p>café</p>")));
    ASSERT_EQ(spec.related.size(), 1) << "two references to one file";
    EXPECT_EQ(spec.related[0].mimeType, QStringLiteral("image/gif"));
    EXPECT_EQ(spec.htmlBody.count(QStringLiteral("cid:") + spec.related[0].contentId), 2);
    EXPECT_TRUE(spec.htmlBody.contains(QStringLiteral("data:image/png;base64,AAAA")));
    EXPECT_TRUE(spec.htmlBody.contains(QStringLiteral("cid:keep")));
    ASSERT_EQ(ImportBodyFile(spec, folder.path(QStringLiteral("k.htm")), ImportHtmlWithText), 0);
    EXPECT_TRUE(spec.related.isEmpty());
    EXPECT_EQ(spec.bodyText, QStringLiteral("Привет"));
}

// Text attachments say which charset their bytes are in, so receivers show them right.
TEST(MimeComposer, TextAttachmentsCarryTheirCharset) {
    Folder folder;
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* charset;
    };
    const QList<Case> cases{{"utf8.txt",
                             "Gr\xc3\xbc\xc3\x9f"
                             "e\n",
                             "utf-8"},
                            {"ascii.txt", "plain\n", "utf-8"},
                            {"latin.txt",
                             "Gr\xfc\xdf"
                             "e\n",
                             "windows-1252"},
                            {"bom16.txt", QByteArray("\xff\xfeG\0r\0", 6), "utf-16"}};
    for (const Case& c : cases) {
        MessageSpec spec = BaseSpec();
        spec.bodyText = QStringLiteral("see file");
        spec.attachments = {{folder.write(QLatin1String(c.name), c.bytes), AttachBase64}};
        qint32 rc = -1;
        const QList<QJsonObject> leaves = PythonLeaves(PythonSummary(ComposeMessage(spec, &rc)));
        ASSERT_EQ(rc, 0);
        ASSERT_EQ(leaves.size(), 2) << c.name;
        EXPECT_EQ(leaves[1].value(QStringLiteral("charset")).toString(), QLatin1String(c.charset)) << c.name;
        EXPECT_EQ(LeafBytes(leaves[1]), c.bytes) << c.name;
    }
}

// For a server without 8BITMIME every 8-bit part goes quoted-printable; the text is unchanged.
TEST(MimeComposer, SevenBitFormQuotesEveryEightBitPart) {
    Folder folder;
    MessageSpec spec = BaseSpec();
    spec.charset = QStringLiteral("utf-8");
    spec.bodyEncoding = spec.partEncoding = EncodingNone;
    spec.bodyText = QStringLiteral("Grüße aus Köln\n");
    spec.attachments = {{folder.write(QStringLiteral("n.txt"), "\xc3\xa9t\xc3\xa9\n"), AttachNone}};
    qint32 rc = -1;
    const QByteArray eight = ComposeMessage(spec, &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_TRUE(eight.contains("Grüße aus Köln")) << "8-bit stays where the server takes it";
    const QByteArray seven = ComposeMessage(spec, &rc, true);
    ASSERT_EQ(rc, 0);
    for (char ch : seven)
        ASSERT_LT(static_cast<unsigned char>(ch), 0x80) << seven.constData();
    ExpectWireSafe(seven);
    const QList<QJsonObject> leaves = PythonLeaves(PythonSummary(seven));
    ASSERT_EQ(leaves.size(), 2);
    EXPECT_EQ(LeafBytes(leaves[0]).replace("\r", ""), QStringLiteral("Grüße aus Köln\n").toUtf8());
    EXPECT_EQ(LeafBytes(leaves[1]), QByteArray("\xc3\xa9t\xc3\xa9\n"));
}

// An unencoded HTML body travels as it is, so the boundary of its pictures' multipart must not appear in
// it: a page that quotes a message of this program (the same boundary prefix) must not cut its own body.
TEST(MimeComposer, UnencodedHtmlNeverHoldsItsPicturesBoundary) {
    Folder folder;
    const QByteArray png = TinyPng();
    folder.write(QStringLiteral("logo.png"), png);
    folder.write(QStringLiteral("page.htm"),
                 "<html><body><p>Quoted:</p>\r\n--K3B4C7D1E9_=_R\r\n"
                 "--K3B4C7D1E9_=_R--\r\n<img src=\"logo.png\"><p>end</p></body></html>");
    MessageSpec spec = BaseSpec();
    ASSERT_EQ(ImportBodyFile(spec, folder.path(QStringLiteral("page.htm")), ImportHtmlOnly), 0);
    ASSERT_EQ(spec.related.size(), 1);
    spec.textAlternative = false;
    spec.bodyEncoding = EncodingNone;

    qint32 rc = -1;
    const QByteArray bytes = ComposeMessage(spec, &rc);
    ASSERT_EQ(rc, 0);
    const QJsonObject py = PythonSummary(bytes);
    ASSERT_FALSE(py.isEmpty());
    EXPECT_TRUE(py.value(QStringLiteral("defects")).toArray().isEmpty());
    QStringList types;
    for (const QJsonValue& v : py.value(QStringLiteral("parts")).toArray())
        types << v.toObject().value(QStringLiteral("type")).toString();
    EXPECT_EQ(types, QStringList({"multipart/related", "text/html", "image/png"}));
    const QList<QJsonObject> leaves = PythonLeaves(py);
    ASSERT_EQ(leaves.size(), 2);
    const QString html = leaves[0].value(QStringLiteral("text")).toString();
    EXPECT_TRUE(html.contains(QStringLiteral("--K3B4C7D1E9_=_R--"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("<p>end</p>"))) << html.toStdString();
    EXPECT_EQ(LeafBytes(leaves[1]), png);
}

// A line of quoted-printable never begins with ".", after a line break or after a soft one: the message
// stays whole even where the transport does not dot-stuff, and a line of one dot never ends it. A
// leading dot goes as "=2E"; the text reads back unchanged.
TEST(MimeComposer, QuotedPrintableNeverStartsALineWithADot) {
    Folder folder;
    QString text = QStringLiteral(".first\n.\n..two\n");
    for (int length = 70; length <= 80; ++length)
        text += QString(length, QLatin1Char('a')) + QStringLiteral(".b.\n");
    MessageSpec spec = BaseSpec();
    spec.charset = QStringLiteral("utf-8");
    spec.bodyText = text;
    spec.bodyEncoding = EncodingQuotedPrintable;
    spec.attachments = {{folder.write(QStringLiteral("dots.bin"), text.toUtf8().replace("\n", "\r\n")),
                         AttachQuotedPrintable}};
    qint32 rc = -1;
    const QByteArray bytes = ComposeMessage(spec, &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_TRUE(bytes.contains("\r\n=2Efirst\r\n=2E\r\n=2E.two\r\n")) << bytes.constData();
    for (const QByteArray& line : bytes.split('\n'))
        EXPECT_FALSE(line.startsWith('.')) << line.constData();
    const QList<QJsonObject> leaves = PythonLeaves(PythonSummary(bytes));
    ASSERT_EQ(leaves.size(), 2);
    EXPECT_EQ(Normalized(leaves[0].value(QStringLiteral("text")).toString()), text);
    EXPECT_EQ(LeafBytes(leaves[1]), text.toUtf8().replace("\n", "\r\n"));
}

// An attached message is never encoded (RFC 2046): it goes 7bit or 8bit when its lines allow, so a
// reader sees it as a message with its headers; otherwise it goes as plain bytes in the chosen encoding.
TEST(MimeComposer, AttachedMessagesTravelAsTheyAre) {
    Folder folder;
    const QByteArray head =
        "From: Anna <anna@example.org>\nTo: Bob <bob@example.org>\nSubject: Forwarded offer\n"
        "MIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n\n";
    const QByteArray ascii = head + "Hello\n.\nend\n";
    const QByteArray eightBit = QByteArray(head).replace("\n", "\r\n") + "Gr\xc3\xbc\xc3\x9f"
                                                                         "e\r\n.\r\nend\r\n";
    struct Case {
        const char* label;
        QByteArray bytes;
        qint32 encoding;
        bool sevenBit;
        const char* type;
        const char* cte;
    } cases[] = {
        {"ASCII, base64 chosen", ascii, AttachBase64, false, "message/rfc822", "7bit"},
        {"8-bit, quoted-printable chosen", eightBit, AttachQuotedPrintable, false, "message/rfc822", "8bit"},
        {"8-bit for a 7-bit server", eightBit, AttachNone, true, "application/octet-stream",
         "quoted-printable"},
        {"a line too long", ascii + QByteArray(1200, 'x') + '\n', AttachBase64, false,
         "application/octet-stream", "base64"},
        {"a bare CR", ascii + "a\rb\n", AttachQuotedPrintable, false, "application/octet-stream",
         "quoted-printable"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MessageSpec spec = BaseSpec();
        spec.bodyText = QStringLiteral("see the message");
        spec.attachments = {{folder.write(QStringLiteral("forwarded.eml"), c.bytes), c.encoding}};
        qint32 rc = -1;
        const QByteArray bytes = ComposeMessage(spec, &rc, c.sevenBit);
        ASSERT_EQ(rc, 0);
        ExpectWireSafe(bytes);
        const QJsonObject py = PythonSummary(bytes);
        EXPECT_TRUE(py.value(QStringLiteral("defects")).toArray().isEmpty());
        const QJsonArray parts = py.value(QStringLiteral("parts")).toArray();
        ASSERT_GE(parts.size(), 3);
        const QJsonObject attached = parts[2].toObject();
        EXPECT_EQ(attached.value(QStringLiteral("type")).toString(), QLatin1String(c.type));
        EXPECT_EQ(attached.value(QStringLiteral("cte")).toString(), QLatin1String(c.cte));
        if (QByteArray(c.type) == "message/rfc822") {
            EXPECT_EQ(attached.value(QStringLiteral("subject")).toString(),
                      QStringLiteral("Forwarded offer"));
            const QList<QJsonObject> leaves = PythonLeaves(py);
            ASSERT_EQ(leaves.size(), 2);
            const QByteArray flat = QByteArray(c.bytes).replace("\r\n", "\n");
            EXPECT_EQ(LeafBytes(leaves[1]).replace("\r\n", "\n"), flat.mid(flat.indexOf("\n\n") + 2));
        } else {
            EXPECT_EQ(LeafBytes(parts[2].toObject()), c.bytes);
        }
    }
}

// A local picture that cannot be embedded is left out and named, whether a file: URL or a relative name:
// the message never shows a broken picture or the sender's folders. Remote, cid: and data: stay.
TEST(MimeComposer, PicturesThatCannotBeEmbeddedAreLeftOut) {
    Folder folder;
    folder.write(QStringLiteral("logo.png"), TinyPng());
    folder.write(QStringLiteral("notes.txt"), "not a picture");
    const QString goneUrl = QUrl::fromLocalFile(folder.path(QStringLiteral("gone.gif"))).toString();
    folder.write(QStringLiteral("p.htm"),
                 "<body background=\"back.jpg\"><p>a<IMG alt=\"x\" SRC=\"missing.png\" width=2>b</p>"
                 "<img src='" +
                     goneUrl.toUtf8() +
                     "'><img src=\"notes.txt\"><img src=\"logo.png\">"
                     "<table><td background=\"" +
                     goneUrl.toUtf8() +
                     "\" class=c>t</td></table>"
                     "<img src=\"https://example.org/r.png\"><img src=\"cid:keep\"><img "
                     "src=\"data:image/gif;base64,R0\">"
                     "</body>");
    MessageSpec spec = BaseSpec();
    ASSERT_EQ(ImportBodyFile(spec, folder.path(QStringLiteral("p.htm")), ImportHtmlOnly), 0);
    ASSERT_EQ(spec.related.size(), 1);
    EXPECT_EQ(spec.htmlBody,
              QStringLiteral("<body><p>ab</p><img src=\"cid:") + spec.related[0].contentId +
                  QStringLiteral("\"><table><td class=c>t</td></table><img src=\"https://example.org/r.png\">"
                                 "<img src=\"cid:keep\"><img src=\"data:image/gif;base64,R0\"></body>"));
    EXPECT_EQ(
        spec.leftOutPictures,
        QStringList({folder.path(QStringLiteral("back.jpg")), folder.path(QStringLiteral("missing.png")),
                     folder.path(QStringLiteral("gone.gif")), folder.path(QStringLiteral("notes.txt"))}));

    qint32 rc = -1;
    const QByteArray bytes = ComposeMessage(spec, &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_FALSE(bytes.contains("file:"));
    EXPECT_FALSE(bytes.contains(QDir(folder.path(QString())).dirName().toUtf8()));
}
