// The message parser: what the composer writes reads back; hostile files give codes and stay inside
// the work folder.
#include "MimeTestSupport.h"

#include "mail/MailCharsets.h"
#include "mail/Message.h"
#include "mail/MimeComposer.h"
#include "mail/TransferDecoding.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace mail;
using namespace mimetest;
using testenv::FilesBelow;
using namespace Qt::StringLiterals;

namespace {} // namespace

TEST(Message, ReadsBackWhatTheComposerWrites) {
    Folder folder;
    const QByteArray png = TinyPng();
    folder.write(QStringLiteral("pic.png"), png);
    folder.write(QStringLiteral("body.htm"),
                 "<html><body><p>Hello &amp; welcome</p><img src=\"pic.png\"></body></html>");
    static const char pdf[] = "%PDF-1.4\x00\x01\x02 binary";
    const QString attachment =
        folder.write(QStringLiteral("report.pdf"), QByteArray(pdf, sizeof(pdf) - 1)); // without the NUL

    MessageSpec spec;
    spec.fromName = QStringLiteral("Sender");
    spec.fromAddress = QStringLiteral("sender@example.org");
    spec.recipients = {
        {QStringLiteral("Zoë"), QStringLiteral("zoe@example.org"), RecipientKind::To},
        {QStringLiteral("Smith, John"), QStringLiteral("john@example.org"), RecipientKind::Cc}};
    spec.subject =
        EncodeHeaderText(QStringLiteral("Grüße"), QStringLiteral("iso-8859-1"), HeaderQuotedPrintable);
    spec.charset = QStringLiteral("iso-8859-1");
    ASSERT_EQ(ImportBodyFile(spec, folder.path(QStringLiteral("body.htm")), ImportHtmlWithText), 0);
    spec.attachments = {{attachment, AttachBase64}};
    const QString eml = folder.path(QStringLiteral("out.eml"));
    ASSERT_EQ(SaveMessageFile(spec, eml), 0);

    const QString work = folder.path(QStringLiteral("work"));
    QDir().mkpath(work);
    Message message;
    EXPECT_EQ(message.GetMessageHandle(), 0);
    message.SetWorkFolder(work);
    ASSERT_EQ(message.ImportMessageFile(eml, BodyPartHtml, 2), 0);
    EXPECT_NE(message.GetMessageHandle(), 0);
    EXPECT_EQ(message.GetSubject(), QStringLiteral("Grüße"));
    EXPECT_EQ(message.GetTextBody(), QStringLiteral("Hello & welcome"));

    const QList<MessageRecipient> recipients = message.GetRecipients();
    ASSERT_EQ(recipients.size(), 2);
    EXPECT_EQ(recipients[0].RecipientName, QStringLiteral("Zoë"));
    EXPECT_EQ(recipients[0].RecipientAddress, QStringLiteral("zoe@example.org"));
    EXPECT_EQ(recipients[0].RecipientType, 1);
    EXPECT_EQ(recipients[1].RecipientName, QStringLiteral("Smith, John"));
    EXPECT_EQ(recipients[1].RecipientType, 2);

    // The HTML body sits in a fresh folder directly inside the work folder, with its image beside it.
    const QString htmlFolder = message.GetHtmlBodyPath();
    ASSERT_FALSE(htmlFolder.isEmpty());
    EXPECT_EQ(QFileInfo(htmlFolder).absolutePath(), QFileInfo(work).absoluteFilePath());
    const QString index = QString::fromUtf8(testenv::ReadFile(htmlFolder + QStringLiteral("/index.htm")));
    EXPECT_TRUE(index.contains(QStringLiteral("Hello &amp; welcome")));
    EXPECT_FALSE(index.contains(QStringLiteral("cid:")));

    const QList<BodyPart> parts = message.GetBodyParts();
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[0].PartKind(), PartBodyPartAttachment);
    EXPECT_TRUE(index.contains(QStringLiteral("src=\"") + parts[0].PartFileName() + QLatin1Char('"')));
    EXPECT_EQ(testenv::ReadFile(htmlFolder + QLatin1Char('/') + parts[0].PartFileName()), png);
    EXPECT_EQ(parts[1].PartKind(), PartAttachment);
    EXPECT_EQ(parts[1].PartFileName(), QStringLiteral("report.pdf"));
    const QString saved = folder.path(QStringLiteral("import/body/report.pdf"));
    ASSERT_EQ(parts[1].SavePartToFile(saved), 0) << "a missing folder is created";
    EXPECT_EQ(testenv::ReadFile(saved), testenv::ReadFile(attachment));

    // A second import into the same work folder gets a folder of its own.
    Message again;
    again.SetWorkFolder(work);
    ASSERT_EQ(again.ImportMessageFile(eml, BodyPartHtml, 10), 0);
    EXPECT_NE(again.GetHtmlBodyPath(), htmlFolder);
    EXPECT_NE(again.GetMessageHandle(), message.GetMessageHandle());

    // Without a work folder (printing) nothing is written, and a plain message has no HTML path.
    MessageSpec plain = spec;
    plain.bodyFormat = 0;
    plain.bodyText = QStringLiteral("line 1\nline 2");
    plain.attachments.clear();
    ASSERT_EQ(SaveMessageFile(plain, eml), 0);
    Message printOnly;
    ASSERT_EQ(printOnly.ImportMessageFile(eml, BodyPartText, 0), 0);
    EXPECT_TRUE(printOnly.GetHtmlBodyPath().isEmpty());
    EXPECT_EQ(printOnly.GetTextBody(), QStringLiteral("line 1\r\nline 2\r\n"));
}

TEST(Message, ReceivedHeadersAreSplitIntoTheirClauses) {
    ReceivedHeader r = ParseReceivedHeader(QStringLiteral(
        "from mail.example.com (mail.example.com [192.0.2.1] (may be forged)) by mx.example.org "
        "(Postfix, from userid 0) with ESMTPS id 4ABC123 for <bob@example.org>; "
        "Tue, 8 Dec 2026 14:05:09 -0500 (EST)"));
    EXPECT_EQ(r.ReceivedFrom,
              QStringLiteral("mail.example.com (mail.example.com [192.0.2.1] (may be forged))"));
    EXPECT_EQ(r.ReceivedBy, QStringLiteral("mx.example.org (Postfix, from userid 0)"));
    EXPECT_EQ(r.ReceivedProtocol, QStringLiteral("ESMTPS"));
    EXPECT_EQ(r.ReceivedID, QStringLiteral("4ABC123"));
    EXPECT_EQ(r.ReceivedFor, QStringLiteral("bob@example.org"));
    EXPECT_TRUE(r.ReceivedVia.isEmpty());
    EXPECT_EQ(r.ReceivedDateTime.date(), QDate(2026, 12, 8));
    EXPECT_EQ(r.ReceivedDateTime.time(), QTime(14, 5, 9));
    EXPECT_EQ(r.ReceivedTimeZoneBias, 300);

    r = ParseReceivedHeader(QStringLiteral("by relay via UUCP with SMTP; 1 Jan 2027 00:00:00 +0130"));
    EXPECT_EQ(r.ReceivedBy, QStringLiteral("relay"));
    EXPECT_EQ(r.ReceivedVia, QStringLiteral("UUCP"));
    EXPECT_EQ(r.ReceivedTimeZoneBias, -90);

    // A leap second is read as the last second of its minute rather than losing the date.
    r = ParseReceivedHeader(QStringLiteral("by mx; Wed, 31 Dec 2025 23:59:60 +0000"));
    EXPECT_EQ(r.ReceivedDateTime.time(), QTime(23, 59, 59));
    EXPECT_EQ(r.ReceivedDateTime.date(), QDate(2025, 12, 31));

    r = ParseReceivedHeader(QStringLiteral("from x ((((((unclosed; no date here"));
    EXPECT_FALSE(r.ReceivedDateTime.isValid());
    r = ParseReceivedHeader(QString(100000, QLatin1Char('(')) + QStringLiteral("; garbage"));
    EXPECT_FALSE(r.ReceivedDateTime.isValid());

    Folder folder;
    const QString eml = folder.write(
        QStringLiteral("m.eml"), "Received: from a.example by b.example with SMTP id 1;\r\n"
                                 " Mon, 7 Dec 2026 10:00:00 +0100\r\n"
                                 "Received: from c.example by a.example; Mon, 7 Dec 2026 09:59:00 +0000\r\n"
                                 "Subject: hi\r\nBcc: hidden@example.org\r\n\r\nbody\r\n");
    Message message;
    ASSERT_EQ(message.ImportMessageFile(eml, BodyPartText, 0), 0);
    const QList<ReceivedHeader> headers = message.GetReceivedHeaders();
    ASSERT_EQ(headers.size(), 2);
    EXPECT_EQ(headers[0].ReceivedFrom, QStringLiteral("a.example"));
    EXPECT_EQ(headers[0].ReceivedTimeZoneBias, -60);
    EXPECT_EQ(headers[1].ReceivedFrom, QStringLiteral("c.example"));
    ASSERT_EQ(message.GetRecipients().size(), 1);
    EXPECT_EQ(message.GetRecipients()[0].RecipientType, 3);
}

TEST(Message, HostileFilesGiveCodesAndStayInsideTheWorkFolder) {
    Folder folder;
    const QString work = folder.path(QStringLiteral("work"));
    QDir().mkpath(work);
    const QString out = folder.path(QStringLiteral("out"));
    const QByteArray hostileNames =
        "Subject: names\r\nMIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/html\r\n\r\n<img src=\"cid:x1\"><img src=\"cid:x2\">\r\n"
        "--b\r\nContent-Type: image/png\r\nContent-ID: <x1>\r\n"
        "Content-Disposition: inline; filename=\"../../escape.png\"\r\n\r\nPNG1\r\n"
        "--b\r\nContent-Type: image/png\r\nContent-ID: <x2>\r\n"
        "Content-Disposition: inline; filename=\"..\"\r\n\r\nPNG2\r\n"
        "--b\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; "
        "filename=\"/etc/passwd\"\r\n\r\nx\r\n"
        "--b\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=\"passwd\"\r\n\r\ny\r\n"
        "--b\r\nContent-Type: application/octet-stream\r\n"
        "Content-Disposition: attachment; filename=\"a\x01\x1b[31mb\\..\\c.exe\"\r\n\r\nz\r\n"
        "--b--\r\n";
    Message message;
    message.SetWorkFolder(work);
    ASSERT_EQ(message.ImportMessageFile(folder.write(QStringLiteral("names.eml"), hostileNames), 1, 2), 0);
    QStringList names;
    for (const BodyPart& p : message.GetBodyParts()) {
        names << p.PartFileName();
        EXPECT_EQ(p.SavePartToFile(out + QLatin1Char('/') + p.PartFileName()), 0);
    }
    EXPECT_EQ(names, QStringList({"escape.png", "part3.png", "passwd", "passwd (2)", "a[31mb..c.exe"}))
        << names.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("escape.png"))));
    for (const QString& f : FilesBelow(work))
        EXPECT_FALSE(f.contains(QLatin1String(".."))) << f.toStdString();
    EXPECT_EQ(FilesBelow(out),
              QStringList({"a[31mb..c.exe", "escape.png", "part3.png", "passwd", "passwd (2)"}));

    struct Case {
        const char* name;
        QByteArray bytes;
        qint32 code;
    };
    QByteArray deep = "Content-Type: multipart/mixed; boundary=\"b0\"\r\n\r\n";
    for (int i = 1; i < 3000; ++i)
        deep += "--b" + QByteArray::number(i - 1) + "\r\nContent-Type: multipart/mixed; boundary=\"b" +
                QByteArray::number(i) + "\"\r\n\r\n";
    const QList<Case> cases = {
        {"missing boundary", "Content-Type: multipart/mixed\r\n\r\n--x\r\n\r\nbody\r\n--x--\r\n",
         MessageNoBoundary},
        {"boundary never used",
         "Content-Type: multipart/mixed; boundary=\"zz\"\r\n\r\n--x\r\n\r\nbody\r\n--x--\r\n",
         MessageNoBoundary},
        {"unknown encoding", "Content-Transfer-Encoding: x-rot13\r\n\r\nbody\r\n", MessageUnknownEncoding},
        {"deep nesting", deep, 0},
        {"huge header", "Subject: " + QByteArray(3 * 1024 * 1024, 'a') + "\r\n\r\nbody\r\n", 0},
        {"binary garbage", QByteArray(5000, '\0') + QByteArray(5000, '\xff'), MessageException},
        {"empty file", QByteArray(), MessageException},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Message m;
        m.SetWorkFolder(work);
        EXPECT_EQ(m.ImportMessageFile(folder.write(QStringLiteral("case.eml"), c.bytes), 1, 2), c.code);
        EXPECT_EQ(m.GetMessageHandle() != 0, c.code == 0);
    }
    Message missing;
    EXPECT_EQ(missing.ImportMessageFile(folder.path(QStringLiteral("no-such.eml")), 0, 0),
              MessageFileIoError);
    EXPECT_EQ(missing.ImportMessageFile(folder.path(QString()), 0, 0), MessageFileIoError);
    EXPECT_EQ(missing.GetMessageHandle(), 0);
    EXPECT_TRUE(missing.GetSubject().isEmpty());
}

TEST(Message, ReadsTheCharsetsIconvLacks) {
    Folder folder;
    const QString eml = folder.path(QStringLiteral("c.eml"));
    const QList<QPair<QString, QString>> cases = {
        {QStringLiteral("hz-gb-2312"), QStringLiteral("你好~世界")},
        {QStringLiteral("x-user-defined"), QStringLiteral("ab") + QChar(0xF7C1)},
        {QStringLiteral("iso-ir-149"), QStringLiteral("안녕하세요")},
        {QStringLiteral("iso-8859-8-i"), QStringLiteral("שלום")},
    };
    for (const auto& [charset, text] : cases) {
        SCOPED_TRACE(charset.toStdString());
        MessageSpec spec;
        spec.fromAddress = QStringLiteral("a@example.org");
        spec.charset = charset;
        spec.subject = EncodeHeaderText(text, charset, HeaderBase64);
        ASSERT_TRUE(spec.subject.contains(charset));
        spec.bodyText = text;
        ASSERT_EQ(SaveMessageFile(spec, eml), 0);
        Message message;
        ASSERT_EQ(message.ImportMessageFile(eml, BodyPartText, 0), 0);
        EXPECT_EQ(message.GetSubject(), text);
        EXPECT_EQ(message.GetTextBody().trimmed(), text);
    }
}

// Mail readers keep a message behind an mbox separator line ("From sender date"): that line is no
// header, and the message behind it reads as if it were not there.
TEST(Message, ALeadingMboxSeparatorLineIsSkipped) {
    Folder folder;
    const QByteArray message = "Subject: from a mailbox\r\nTo: Bob <bob@example.org>\r\nMIME-Version: 1.0\r\n"
                               "Content-Type: text/html; charset=utf-8\r\n\r\n<p>the body</p>\r\n";
    const QList<QByteArray> separators = {"From sender@example.org Tue Dec  8 10:11:12 2026\r\n",
                                          "From MAILER-DAEMON Tue Dec  8 10:11:12 2026\n", "From \n"};
    for (const QByteArray& separator : separators) {
        SCOPED_TRACE(separator.toStdString());
        const QString work = folder.path(QStringLiteral("work"));
        QDir(work).removeRecursively();
        QDir().mkpath(work);
        Message m;
        m.SetWorkFolder(work);
        ASSERT_EQ(MessageOk, m.ImportMessageFile(folder.write(QStringLiteral("m.eml"), separator + message),
                                                 BodyPartHtml, 2));
        EXPECT_EQ(QStringLiteral("from a mailbox"), m.GetSubject());
        ASSERT_EQ(1, m.GetRecipients().size());
        EXPECT_EQ(QStringLiteral("bob@example.org"), m.GetRecipients().at(0).RecipientAddress);
        EXPECT_TRUE(testenv::ReadFile(m.GetHtmlBodyPath() + QStringLiteral("/index.htm"))
                        .contains("<p>the body</p>"));
    }
    // A From header is a header.
    Message m;
    ASSERT_EQ(MessageOk,
              m.ImportMessageFile(folder.write(QStringLiteral("h.eml"),
                                               "From: Ann <ann@example.org>\r\nSubject: s\r\n\r\nb\r\n"),
                                  BodyPartText, 0));
    EXPECT_EQ(QStringLiteral("s"), m.GetSubject());
    EXPECT_EQ(QStringLiteral("b\r\n"), m.GetTextBody());
}

// Text read piece by piece decodes as the whole bytes do, wherever the pieces are cut: characters
// split between pieces, byte order marks, stateful charsets, and the fallbacks for bytes a charset
// refuses.
TEST(Message, TextReadPieceByPieceDecodesAsAWhole) {
    class Pieces : public ByteSource {
    public:
        Pieces(const QByteArray& bytes, qsizetype size) : bytes_(bytes), size_(size) {}
        QByteArray Next() override {
            const QByteArray piece = bytes_.mid(at_, size_);
            at_ += piece.size();
            return piece;
        }
        void Rewind() override { at_ = 0; }

    private:
        QByteArray bytes_;
        qsizetype size_;
        qsizetype at_ = 0;
    };
    class Into : public TextSink {
    public:
        QString text;
        void Restart() override { text.clear(); }
        void Append(QStringView piece) override { text += piece; }
    };
    QByteArray sjis, jis, utf7;
    ASSERT_TRUE(EncodeCharset(QStringLiteral("日本語のテキスト"), QStringLiteral("shift_jis"), &sjis));
    ASSERT_TRUE(EncodeCharset(QStringLiteral("日本語 and text 日本"), QStringLiteral("iso-2022-jp"), &jis));
    ASSERT_TRUE(EncodeCharset(QStringLiteral("a€b ü"), QStringLiteral("utf-7"), &utf7));
    const QList<QPair<QString, QByteArray>> cases = {
        {QStringLiteral("utf-8"), "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 end"},
        {QStringLiteral("utf-8"), "\xef\xbb\xbfwith a mark \xef\xbb\xbf inside"},
        {QStringLiteral("utf-8"), "bad \xff byte \xe2\x82\xac"},
        {QStringLiteral("utf-8"), "cut off at the end \xc3"},
        {QStringLiteral("us-ascii"), "not in Windows-1252: \x81 \xc3\xa9"},
        {QString(), "plain"},
        {QStringLiteral("iso-8859-2"), "\xb1\xe6\xea z"},
        {QStringLiteral("shift_jis"), sjis},
        {QStringLiteral("shift_jis"), sjis + "\x82"},
        {QStringLiteral("iso-2022-jp"), jis},
        {QStringLiteral("utf-7"), utf7},
        {QStringLiteral("x-no-such-charset"), "caf\xc3\xa9"},
        {QStringLiteral("x-no-such-charset"), "caf\xe9"},
        {QStringLiteral("hz-gb-2312"), "~{<:Ky2;S{#,~}"},
        {QStringLiteral("x-user-defined"), "ab\xc1"},
    };
    for (const auto& [label, bytes] : cases) {
        QString whole;
        const bool wholeClean = DecodeCharset(bytes, label, &whole);
        for (qsizetype size : {1, 2, 3, 5, 64 * 1024}) {
            SCOPED_TRACE(label.toStdString() + " in pieces of " + std::to_string(size) + ": " +
                         bytes.toStdString());
            Pieces in(bytes, size);
            Into out;
            out.text = QStringLiteral("left from before");
            EXPECT_EQ(wholeClean, DecodeCharset(in, label, out));
            EXPECT_EQ(whole, out.text);
        }
    }
}

// Labels resolve as mail readers and browsers resolve them (gb2312 holding GBK, ks_c_5601-1987 holding
// CP949, shift_jis holding CP932, iso-8859-1 and us-ascii holding Windows-1252), and only the invalid
// sequences of a text become U+FFFD; an unknown label reads as Windows-1252, no label as UTF-8 when the
// bytes are UTF-8. The result says whether the text was read exactly as labelled.
TEST(Message, TextDecodesInItsCharsetAndReplacesOnlyItsInvalidSequences) {
    struct Case {
        const char* label;
        QByteArray bytes;
        QString text;
        bool exact;
    };
    const Case cases[] = {
        {"utf-8", "\xd0\x9f\xd1\x80\xff\xd0\xb8", u"Пр\uFFFDи"_s, false},
        {"UTF-8", "ab\xe2\x82", u"ab\uFFFD"_s, false},
        {"utf-8",
         "\xd0"
         "A\xe0\x80z",
         u"\uFFFDA\uFFFD\uFFFDz"_s, false},
        {"utf-8",
         "\xef\xbb\xbf"
         "a\xef\xbb\xbf",
         u"a\uFEFF"_s, true},
        {"gb2312", "\xce\xd2\xb0\xd1\x88\xd2\xe9\x46\xcd\xb7", u"我把堃镕头"_s, true},
        {"gb2312", "\xce\xd2\xff\xb0\xd1\xce A", u"我\uFFFD把\uFFFD A"_s, false},
        {"gbk", "\xa2\xe3\x94\x39\xfc\x36", u"€😀"_s, true},
        {"ks_c_5601-1987", "\x8c\x63\xb9\xe6", u"똠방"_s, true},
        {"euc-kr", "\x8c\x63", u"똠"_s, true},
        {"shift_jis", "\x87\x40\x93\xfa\x96\x7b", u"①日本"_s, true},
        {"Shift_JIS", "\x93\xfa\x96", u"日\uFFFD"_s, false},
        {"iso-8859-1", "\x80 caf\xe9", u"€ café"_s, true},
        {"us-ascii", "caf\xe9\x81", u"café\u0081"_s, true},
        {" Windows-1251 ", "\xcf\xf0\xe8", u"При"_s, true},
        {"big5", "\xa4\xa4\xa4\xe5", u"中文"_s, true},
        {"utf-16", QByteArray("a\0b\0", 4), u"ab"_s, true},
        {"x-no-such-charset", "caf\xe9\x81", u"café\u0081"_s, false},
        {"", "caf\xc3\xa9", u"café"_s, true},
        {"", "caf\xe9", u"café"_s, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.label) + ": " + c.bytes.toHex(' ').toStdString());
        QString text;
        EXPECT_EQ(c.exact, DecodeCharset(c.bytes, QLatin1String(c.label), &text));
        EXPECT_EQ(c.text, text);
    }
}

// Encoded words read in their charsets as the bodies do; a character split over two words of one charset
// is whole, and a bad byte replaces only itself.
TEST(Message, EncodedWordsDecodeInTheirCharsetsPieceByPiece) {
    const QList<QPair<QByteArray, QString>> cases = {
        {"=?gb2312?B?ztKw0Yg=?= =?gb2312?B?0ulGzbc=?=", u"我把堃镕头"_s},
        {"=?utf-8?Q?=D0=9F=FF=D1=80?= x", u"П\uFFFDр x"_s},
        {"=?utf-8?Q?caf=C3?= =?utf-8?Q?=A9=FF?=", u"café\uFFFD"_s},
        {"=?ks_c_5601-1987?B?jGO55g==?=", u"똠방"_s},
        {"=?x-unknown?Q?caf=E9?=", u"café"_s},
        {"caf\xc3\xa9 =?iso-8859-1?Q?=80?=", u"café €"_s},
        {"raw \xe9t\xe9", u"raw été"_s},
    };
    for (const auto& [raw, text] : cases)
        EXPECT_EQ(text, DecodeHeaderWords(raw)) << raw.toStdString();
}

// What the printer gets and what the import loads (the body folder's index.htm): a UTF-8 body with one
// bad byte in it reads with that byte replaced and nothing else changed, a gb2312 body holding GBK
// characters reads as Chinese.
TEST(Message, BodiesWithABadByteOrAWiderCharsetReadWhole) {
    const QString half = u"<p>Привет, мир</p>\n"_s.repeated(230);
    const QByteArray html = "<html><body>" + half.toUtf8() + "\xff" + half.toUtf8() + "</body></html>";
    const QByteArray eml = "From: a@example.org\r\nSubject: =?gb2312?B?ztKw0Yg=?= =?gb2312?B?0ulGzbc=?=\r\n"
                           "MIME-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=\"b\"\r\n\r\n"
                           "--b\r\nContent-Type: text/plain; charset=gb2312\r\n\r\n"
                           "\xce\xd2\xb0\xd1\x88\xd2\xe9\x46\xcd\xb7\r\n"
                           "--b\r\nContent-Type: text/html; charset=\"utf-8\"\r\n"
                           "Content-Transfer-Encoding: base64\r\n\r\n" +
                           html.toBase64() + "\r\n--b--\r\n";
    Folder folder;
    Message m;
    m.SetWorkFolder(folder.path(QStringLiteral("work")));
    ASSERT_TRUE(QDir().mkpath(folder.path(QStringLiteral("work"))));
    ASSERT_EQ(MessageOk, m.ImportMessageFile(folder.write(QStringLiteral("m.eml"), eml), BodyPartHtml, 2));
    EXPECT_EQ(u"我把堃镕头"_s, m.GetSubject());
    const auto printable = PrintableForHandle(m.GetMessageHandle());
    ASSERT_TRUE(printable);
    EXPECT_EQ(u"我把堃镕头"_s.toUtf8(), printable->textBodyUtf8);
    const QString body = half + QChar(0xFFFD) + half;
    EXPECT_EQ(u"<html><body>"_s + body + u"</body></html>"_s, printable->htmlBody);
    QFile index(m.GetHtmlBodyPath() + QStringLiteral("/index.htm"));
    ASSERT_TRUE(index.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(index.readAll()).contains(body));
}

// Base64 and uuencode undone piece by piece give the same bytes wherever the pieces are cut, read lines
// that lost their trailing blanks as blanks, and tell data that ends early: uuencode without its "begin"
// or "end" line, base64 cut inside a group of four.
TEST(Message, TransferEncodingsInPiecesTellDataThatEndsEarly) {
    struct Case {
        TransferDecoder::Kind kind;
        QByteArray encoded;
        QByteArray bytes;
        bool whole;
    };
    const Case cases[] = {
        {TransferDecoder::Base64, "QUJD\r\nREU=", "ABCDE", true},
        {TransferDecoder::Base64, "QUJD REVG==", "ABCDEF", true},
        {TransferDecoder::Base64, "QUJDRA", "ABCD", false},
        {TransferDecoder::Base64, "QUJDR", "ABC", false},
        {TransferDecoder::Uuencode, "junk\r\nbegin 644 x\r\n%04)#1$4`\r\n`\r\nend\r\nafter", "ABCDE", true},
        {TransferDecoder::Uuencode, "begin 644 x\n#04)#\n\n\"1$4\n\nend", "ABCDE", true},
        {TransferDecoder::Uuencode, "begin 644 x\n#0\nend\n", QByteArray("@\0\0", 3), true},
        {TransferDecoder::Uuencode, "begin 644 x\n%04)#1$4\n", "ABCDE", false},
        {TransferDecoder::Uuencode, "%04)#1$4\nend\n", "", false},
    };
    for (const Case& c : cases) {
        for (qsizetype size : {1, 3, 64 * 1024}) {
            SCOPED_TRACE(c.encoded.toStdString() + " in pieces of " + std::to_string(size));
            TransferDecoder decoder(c.kind);
            QByteArray bytes = "left from before";
            decoder.Feed("QUJD\nbegin 644 y\n#0\n", &bytes);
            decoder.Reset();
            bytes.clear();
            for (qsizetype at = 0; at < c.encoded.size(); at += size)
                decoder.Feed(QByteArrayView(c.encoded).sliced(at, qMin(size, c.encoded.size() - at)), &bytes);
            decoder.Finish(&bytes);
            EXPECT_EQ(c.bytes, bytes);
            EXPECT_EQ(c.whole, decoder.Whole());
        }
    }
}
