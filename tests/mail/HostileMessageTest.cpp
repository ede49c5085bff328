// Hostile message files made on the spot: each must be read within a few seconds and with a memory
// growth under ten times its size, and must keep every part it holds. A large attachment is sent within
// three times its size.
#include "mail/MailCharsets.h"
#include "mail/Message.h"
#include "mail/MimeSupport.h"
#include "mail/Smtp.h"
#include "tests/mail/MimeTestSupport.h"
#include "tests/mail/SmtpPeers.h"
#include "tests/support/ProcessMeasures.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace mail;
using mimetest::Folder;

namespace {

using testenv::FilesBelow;
using testenv::kSanitized;

// Processor time allowed per case: the cases take well under a second here and a few under the
// sanitizers, which make every step some times slower, not the work larger. Work that goes back over
// what it has read (a search per reference, a probe of every earlier name per part) takes minutes at
// these sizes.
constexpr qint64 kSecondsAllowed = kSanitized ? 20 : 5;

// Reads the file with a work folder and checks time and memory; returns the result code.
// The parser keeps a few kilobytes of its own objects for every MIME part while it reads; a message
// of many tiny parts is allowed that much beside the ten times its size.
constexpr qint64 kBytesPerPart = 4096;

// The kernel's cost of making this many small files, measured on this disk in the same run: a virtual
// disk can take half a millisecond a file, which no parser can make cheaper, while a probe of every
// earlier name per part costs thousands of times that.
qint64 FileCreationMilliseconds(qint64 count) {
    QTemporaryDir dir; // under the test's TMPDIR, beside the work folders
    const qint64 before = testenv::ProcessorMilliseconds(true);
    for (qint64 i = 0; i < count; ++i) {
        QFile f(dir.filePath(QString::number(i)));
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            f.write("x", 1);
    }
    return testenv::ProcessorMilliseconds(true) - before;
}

qint32 ImportMeasured(Message& m, const QString& file, qint64 inputBytes, qint64 parts = 0,
                      qint64* growthOut = nullptr) {
    // Each part is a file in the work folder (and its name a look-up there): allowed twice what making
    // that many files costs here, beside the parsing.
    const qint64 filesAllowed = parts > 1 ? 2 * FileCreationMilliseconds(parts) : 0;
    testenv::ResetPeakMemory();
    const qint64 before = testenv::StatusKb("VmRSS:") * 1024;
    // The kernel's share counts too: a name probed against every file made before is its work. Waits
    // for a busy disk are not processor time.
    const qint64 cpuBefore = testenv::ProcessorMilliseconds(true);
    const qint32 rc = m.ImportMessageFile(file, BodyPartHtml, 2);
    const qint64 cpu = testenv::ProcessorMilliseconds(true) - cpuBefore;
    const qint64 growth = testenv::StatusKb("VmHWM:") * 1024 - before;
    if (growthOut)
        *growthOut = growth;
    EXPECT_LT(cpu, kSecondsAllowed * 1000 + filesAllowed)
        << "milliseconds of processor time (" << filesAllowed << " of them for making the files)";
    // Ten times the input, with a floor for what any message costs (the GMime and Qt set-up). Under
    // AddressSanitizer every allocation carries guard zones and freed memory is held back, so only
    // time and the sanitizer's own checks count there.
    if (!kSanitized) {
        EXPECT_LT(growth, qMax<qint64>(10 * inputBytes, 8 * 1024 * 1024) + parts * kBytesPerPart)
            << "bytes of memory for " << inputBytes << " bytes of input";
    }
    return rc;
}

QByteArray Related(const QByteArray& html, const QByteArray& parts) {
    return "Subject: hostile\r\nMIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"r\"\r\n\r\n"
           "--r\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" +
           html + "\r\n" + parts + "--r--\r\n";
}

QByteArray ImagePart(const QByteArray& cid, const QByteArray& name, const QByteArray& type = "image/png") {
    return "--r\r\nContent-Type: " + type + "\r\nContent-ID: <" + cid + ">\r\n" +
           (name.isEmpty() ? QByteArray() : "Content-Disposition: inline; filename=\"" + name + "\"\r\n") +
           "Content-Transfer-Encoding: base64\r\n\r\n" + mimetest::TinyPng().toBase64() + "\r\n";
}

class HostileMessage : public ::testing::Test {
protected:
    QString write(const QByteArray& bytes) { return folder.write(QStringLiteral("hostile.eml"), bytes); }
    QString work() {
        const QString w = folder.path(QStringLiteral("work"));
        QDir(w).removeRecursively();
        QDir().mkpath(w);
        return w;
    }
    Folder folder;
};

TEST_F(HostileMessage, LongNamesAreCutTo255BytesAndNoPartIsLost) {
    const QByteArray longName = QString(400, QChar(0x00E9)).toUtf8() + ".png";
    const QByteArray longType = "image/" + QByteArray(300, 'x');
    const QByteArray bytes = Related("<img src=\"cid:a\"><img src=\"cid:b\">",
                                     ImagePart("a", longName) + ImagePart("b", "", longType));
    Message m;
    m.SetWorkFolder(work());
    ASSERT_EQ(MessageOk, ImportMeasured(m, write(bytes), bytes.size()));
    const QList<BodyPart> parts = m.GetBodyParts();
    ASSERT_EQ(2, parts.size());
    for (const BodyPart& p : parts) {
        EXPECT_LE(p.PartFileName().toUtf8().size(), kMaxPartNameBytes);
        EXPECT_FALSE(p.PartFileName().isEmpty());
    }
    EXPECT_TRUE(parts.at(0).PartFileName().endsWith(QLatin1String(".png")));
    // Both pictures sit beside the body, which refers to them by their files.
    const QString body = m.GetHtmlBodyPath();
    const QString html = QString::fromUtf8(testenv::ReadFile(body + QStringLiteral("/index.htm")));
    EXPECT_FALSE(html.contains(QLatin1String("cid:"))) << html.left(200).toStdString();
    EXPECT_EQ(3, QDir(body).entryList(QDir::Files).size());
}

TEST_F(HostileMessage, APartNamedLikeTheBodyKeepsItsOwnFile) {
    const QByteArray bytes = Related("<p>the body</p><img src=\"cid:pic\">", ImagePart("pic", "index.htm"));
    Message m;
    m.SetWorkFolder(work());
    ASSERT_EQ(MessageOk, m.ImportMessageFile(write(bytes), BodyPartHtml, 2));
    const QString body = m.GetHtmlBodyPath();
    const QByteArray html = testenv::ReadFile(body + QStringLiteral("/index.htm"));
    EXPECT_TRUE(html.contains("the body"));
    const QStringList files = QDir(body).entryList(QDir::Files);
    ASSERT_EQ(2, files.size()) << files.join(' ').toStdString();
    const QString other = files.at(0) == QLatin1String("index.htm") ? files.at(1) : files.at(0);
    EXPECT_EQ(mimetest::TinyPng(), testenv::ReadFile(body + QLatin1Char('/') + other));
    EXPECT_TRUE(html.contains(QUrl::toPercentEncoding(other, " ()")));
}

// The HTML sizes of the slow cases: many cid references, unclosed hidden elements, many tags.
TEST_F(HostileMessage, BigHtmlIsReadInOnePass) {
    struct Case {
        const char* label;
        QByteArray bytes;
        qint64 parts = 1;
    };
    QByteArray cidHtml, cidParts;
    for (int i = 0; i < 10000; ++i) {
        cidHtml += "<p>" + QByteArray(360, 'w') + "<img src=\"cid:p" + QByteArray::number(i) + "\"></p>\n";
        cidParts += ImagePart("p" + QByteArray::number(i), QByteArray());
    }
    QByteArray scripts, titles, tags, entities, comments;
    while (scripts.size() < 1024 * 1024) {
        scripts += "<script>x ";
        titles += "<TITLE>y ";
        comments += "<!-- z ";
    }
    while (tags.size() < 5 * 1024 * 1024)
        tags += "<b class=\"c\">t</b>";
    entities = QByteArray(1024 * 1024, '&');
    const Case cases[] = {
        {"10000 cid parts in 4 MB", Related(cidHtml, cidParts), 10001},
        {"unclosed script", Related(scripts, {})},
        {"unclosed title", Related(titles, {})},
        {"unclosed comments", Related(comments, {})},
        {"5 MB of tags", Related(tags, {})},
        {"1 MB of ampersands", Related(entities, {})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Message m;
        m.SetWorkFolder(work());
        ASSERT_EQ(MessageOk, ImportMeasured(m, write(c.bytes), c.bytes.size(), c.parts));
    }
    // every reference of the first case was rewritten
    Message m;
    m.SetWorkFolder(work());
    ASSERT_EQ(MessageOk, m.ImportMessageFile(write(cases[0].bytes), BodyPartHtml, 2));
    const QByteArray html = testenv::ReadFile(m.GetHtmlBodyPath() + QStringLiteral("/index.htm"));
    EXPECT_FALSE(html.contains("cid:"));
    EXPECT_EQ(10000, html.count("<img src=\"part"));
}

// Parts that all carry one name each get the next number of their own, among the message's parts and
// in the body folder, as fast as parts of different names; names that already look numbered count on.
TEST_F(HostileMessage, ThousandsOfPartsOfOneNameAreNumberedInLinearTime) {
    QByteArray mixed =
        "Subject: same\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"m\"\r\n"
        "\r\n--m\r\nContent-Type: text/plain\r\n\r\nbody\r\n";
    for (int i = 0; i < 10000; ++i)
        mixed +=
            "--m\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=\"same.txt\"\r\n"
            "\r\nx\r\n";
    mixed += "--m--\r\n";
    Message m;
    m.SetWorkFolder(work());
    ASSERT_EQ(MessageOk, ImportMeasured(m, write(mixed), mixed.size(), 10001));
    const QList<BodyPart> parts = m.GetBodyParts();
    ASSERT_EQ(10000, parts.size());
    EXPECT_EQ(QStringLiteral("same.txt"), parts.at(0).PartFileName());
    EXPECT_EQ(QStringLiteral("same (2).txt"), parts.at(1).PartFileName());
    EXPECT_EQ(QStringLiteral("same (10000).txt"), parts.at(9999).PartFileName());

    QByteArray html, pictures;
    for (int i = 0; i < 10000; ++i) {
        html += "<img src=\"cid:p" + QByteArray::number(i) + "\">";
        pictures += ImagePart("p" + QByteArray::number(i), i % 2 ? "pic (3).png" : "PIC.png");
    }
    const QByteArray related = Related(html, pictures);
    Message inline_;
    inline_.SetWorkFolder(work());
    ASSERT_EQ(MessageOk, ImportMeasured(inline_, write(related), related.size(), 10001));
    QSet<QString> names;
    for (const BodyPart& p : inline_.GetBodyParts())
        names.insert(p.PartFileName().toLower());
    EXPECT_EQ(10000, names.size());
    EXPECT_TRUE(names.contains(QStringLiteral("pic (3).png")));
    EXPECT_TRUE(names.contains(QStringLiteral("pic (10000).png")));
    const QString body = inline_.GetHtmlBodyPath();
    EXPECT_EQ(10001, QDir(body).entryList(QDir::Files).size());
    EXPECT_EQ(10000,
              testenv::ReadFile(body + QStringLiteral("/index.htm")).toLower().count("<img src=\"pic"));
}

// A large text body is held once, as its text, never as bytes and text side by side; line ends become
// CR LF on the way. Three times the file is the most it may cost; once is what it needs.
TEST_F(HostileMessage, LargeTextBodiesCostLessThanThreeTimesTheirSize) {
    const QByteArray line = "The quick brown fox jumps over the lazy dog \xc3\xa9t\xc3\xa9";
    struct Case {
        const char* label;
        QByteArray head;
        QByteArray body;
        qsizetype lines;
    };
    const qsizetype lines = 600000;
    const Case cases[] = {
        {"8bit, CR LF", "Content-Type: text/plain; charset=utf-8\r\n", (line + "\r\n").repeated(lines),
         lines},
        {"base64, LF", "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n",
         (line + "\n").repeated(lines / 2).toBase64(QByteArray::Base64Encoding), lines / 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QByteArray bytes = "Subject: big\r\nMIME-Version: 1.0\r\n" + c.head + "\r\n";
        if (c.head.contains("base64")) {
            for (qsizetype at = 0; at < c.body.size(); at += 76)
                bytes += c.body.mid(at, 76) + "\r\n";
        } else {
            bytes += c.body;
        }
        Message m;
        m.SetWorkFolder(work());
        qint64 growth = 0;
        ASSERT_EQ(MessageOk, ImportMeasured(m, write(bytes), bytes.size(), 0, &growth));
        if (!kSanitized) {
            EXPECT_LT(growth, 2 * bytes.size())
                << "bytes of memory for " << bytes.size() << " bytes of input";
        }
        const QString text = m.GetTextBody();
        EXPECT_EQ(c.lines * line.size(), text.size())
            << "each line with CR LF (and two letters of two bytes)";
        EXPECT_TRUE(text.startsWith(QString::fromUtf8(line) + QStringLiteral("\r\nThe quick")));
        EXPECT_TRUE(text.endsWith(QString::fromUtf8(line) + QStringLiteral("\r\n")));
    }
}

TEST_F(HostileMessage, HiddenElementsAreDroppedOnlyWhenClosed) {
    EXPECT_EQ(QStringLiteral("a b"), HtmlToText(QStringLiteral("a<script>x</script> b")));
    EXPECT_EQ(QStringLiteral("a c"), HtmlToText(QStringLiteral("a<!-- b --> c<style type=x>p{}</STYLE >")));
    EXPECT_EQ(QStringLiteral("ax"), HtmlToText(QStringLiteral("a<script>x")));
    EXPECT_EQ(QStringLiteral("ay"), HtmlToText(QStringLiteral("a<scripts>y</scripts>")));
    EXPECT_EQ(QStringLiteral("a b"), HtmlToText(QStringLiteral("a<title>t</title x> b<script>")));
    EXPECT_EQ(QStringLiteral("k & m"), HtmlToText(QStringLiteral("k &amp; m")));
}

TEST_F(HostileMessage, EncodedWordsDecodeInLinearTime) {
    QByteArray openers, words, unended;
    while (openers.size() < 3 * 1024 * 1024) {
        openers += "=?x";
        words += "=?utf-8?Q?";
        unended += "=?x?q?aa "; // every word looks begun, none is ever ended
    }
    for (const QByteArray& header : {openers, words, unended}) {
        const qint64 cpu = testenv::ProcessorMilliseconds();
        const QString decoded = DecodeHeaderWords(header);
        // A search for each begun word's end from where it begins takes many minutes on 3 MB of them.
        EXPECT_LT(testenv::ProcessorMilliseconds() - cpu, kSecondsAllowed * 1000)
            << "milliseconds of processor time";
        EXPECT_FALSE(decoded.isEmpty());
    }
    EXPECT_EQ(openers, DecodeHeaderWords(openers).toLatin1()); // nothing there to decode
    EXPECT_EQ(QString::fromUtf8("Grüße und Ä"),
              DecodeHeaderWords("=?utf-8?Q?Gr=C3=BC=C3=9Fe?= und =?iso-8859-1?B?xA==?="));

    // The same through a message: many To headers of encoded-word openers.
    QByteArray bytes = "Subject: x\r\n";
    for (int i = 0; i < 48; ++i)
        bytes += "To: " + QByteArray("=?x?q?aa ").repeated(7000) + "\r\n";
    bytes += "\r\nbody\r\n";
    Message m;
    EXPECT_EQ(MessageOk, ImportMeasured(m, write(bytes), bytes.size()));
}

TEST_F(HostileMessage, ConverterCacheStaysBounded) {
    ReleaseCachedConverters();
    QString out;
    for (int i = 0; i < 500; ++i)
        DecodeCharset("abc", QStringLiteral("utf-8//x%1").arg(i), &out);
    EXPECT_LE(CachedConverterCount(), 64);
    EXPECT_EQ(QStringLiteral("abc"), out);
    ReleaseCachedConverters();
    EXPECT_EQ(0, CachedConverterCount());

    // A message full of labels leaves nothing open behind it.
    QByteArray bytes =
        "Subject: labels\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"m\"\r\n\r\n";
    for (int i = 0; i < 300; ++i)
        bytes +=
            "--m\r\nContent-Type: text/plain; charset=\"utf-8//x" + QByteArray::number(i) + "\"\r\n\r\nt\r\n";
    bytes += "--m--\r\n";
    Message m;
    ASSERT_EQ(MessageOk, ImportMeasured(m, write(bytes), bytes.size()));
    EXPECT_EQ(0, CachedConverterCount());
}

TEST_F(HostileMessage, RecipientsAndReceivedHeadersAreCappedAndSaySo) {
    QByteArray bytes = "Subject: many\r\n";
    const QByteArray line = "To: " + QByteArray("a@b.c, ").repeated(9000) + "z@b.c\r\n";
    while (bytes.size() < 20 * 1024 * 1024)
        bytes += line;
    for (int i = 0; i < 5000; ++i)
        bytes += "Received: from h" + QByteArray::number(i) + " by mx; Tue, 8 Dec 2026 10:11:12 +0000\r\n";
    bytes += "\r\nbody\r\n";
    Message m;
    ASSERT_EQ(MessageOk, ImportMeasured(m, write(bytes), bytes.size()));
    EXPECT_EQ(kMaxRecipients, m.GetRecipients().size());
    EXPECT_TRUE(m.RecipientsCut());
    EXPECT_EQ(kMaxReceivedHeaders, m.GetReceivedHeaders().size());
    EXPECT_TRUE(m.ReceivedCut());

    Message small;
    ASSERT_EQ(
        MessageOk,
        small.ImportMessageFile(
            write("To: a@b.c, d@e.f\r\nReceived: by x; Tue, 8 Dec 2026 10:11:12 +0000\r\n\r\nb\r\n"), 0, 0));
    EXPECT_EQ(2, small.GetRecipients().size());
    EXPECT_FALSE(small.RecipientsCut());
    EXPECT_FALSE(small.ReceivedCut());
}

} // namespace

namespace {

QByteArray Nested(int depth, const QByteArray& leaf) {
    QByteArray head, tail;
    for (int i = 0; i < depth; ++i) {
        head += "Content-Type: multipart/mixed; boundary=\"n" + QByteArray::number(i) + "\"\r\n\r\n--n" +
                QByteArray::number(i) + "\r\n";
        tail = "\r\n--n" + QByteArray::number(i) + "--\r\n" + tail;
    }
    return "Subject: deep\r\nMIME-Version: 1.0\r\n" + head + leaf + tail;
}

} // namespace

// Messages as they come from the wild: each is read quickly with the right code, gives the body and
// parts it holds under safe names, and writes nothing but the body folder inside the work folder.
TEST_F(HostileMessage, WildMessagesGiveTheirCodeBodyAndSafeParts) {
    const QByteArray mixed = "Subject: wild\r\nMIME-Version: 1.0\r\n"
                             "Content-Type: multipart/mixed; boundary=\"w\"\r\n\r\n";
    struct Case {
        const char* name;
        QByteArray bytes;
        qint32 code;
        QString subject;
        QString body;      // start of the text body
        QStringList parts; // names of the parts, in order
    };
    const QList<Case> cases = {
        {"no closing boundary",
         mixed + "--w\r\nContent-Type: text/plain\r\n\r\nthe body\r\n"
                 "--w\r\nContent-Type: application/pdf\r\nContent-Disposition: attachment; "
                 "filename=\"a.pdf\"\r\n\r\n%PDF\r\n",
         MessageOk,
         "wild",
         "the body",
         {"a.pdf"}},
        {"hyphenated identity encoding",
         "Subject: old mailer\r\nContent-Transfer-Encoding: 8-bit\r\n\r\nbody\r\n",
         MessageOk,
         "old mailer",
         "body",
         {}},
        {"unknown encoding",
         "Content-Transfer-Encoding: x-rot13\r\n\r\nbody\r\n",
         MessageUnknownEncoding,
         "",
         "",
         {}},
        {"attached message named in its type",
         mixed + "--w\r\nContent-Type: text/plain\r\n\r\nouter\r\n"
                 "--w\r\nContent-Type: message/rfc822; name=\"fwd.eml\"\r\n\r\nSubject: inner\r\n\r\nx\r\n"
                 "--w--\r\n",
         MessageOk,
         "wild",
         "outer",
         {"fwd.eml"}},
        {"character split over two encoded words",
         "Subject: =?UTF-8?Q?caf=C3?= =?utf-8?B?qQ==?= ok =?iso-8859-1?Q?=E9?=\r\n\r\nb\r\n",
         MessageOk,
         QStringLiteral("caf\u00e9 ok \u00e9"),
         "b",
         {}},
        {"a damaged encoded word beside a good one",
         "Subject: =?utf-8?Q?Gr=C3=BC=C3=9Fe?= =?utf-8?Q?x=FF?=\r\n\r\nb\r\n",
         MessageOk,
         QStringLiteral("Gr\u00fc\u00dfex\ufffd"),
         "b",
         {}},
        {"multipart without boundary",
         "Content-Type: multipart/mixed\r\n\r\n--x\r\n\r\nbody\r\n--x--\r\n",
         MessageNoBoundary,
         "",
         "",
         {}},
        {"fifty levels deep",
         Nested(50, "Content-Type: text/plain\r\n\r\ndeep body"),
         MessageOk,
         "deep",
         "deep body",
         {}},
        {"part without content type",
         mixed + "--w\r\n\r\nplain by default\r\n--w--\r\n",
         MessageOk,
         "wild",
         "plain by default",
         {}},
        {"not a message: text", "just some words\nand more words\n", MessageException, "", "", {}},
        {"not a message: binary",
         QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + QByteArray(4000, '\x01'),
         MessageException,
         "",
         "",
         {}},
        {"empty file", QByteArray(), MessageException, "", "", {}},
        {"8-bit header in an unknown charset",
         "Subject: caf\xe9 =?x-unknown-cs?Q?cr=E8me?=\r\nContent-Type: text/plain; "
         "charset=x-unknown-cs\r\n\r\n"
         "na\xefve caf\xe9",
         MessageOk,
         QStringLiteral("caf\u00e9 cr\u00e8me"),
         QStringLiteral("na\u00efve caf\u00e9"),
         {}},
        {"attached message",
         mixed + "--w\r\nContent-Type: text/plain\r\n\r\nouter\r\n"
                 "--w\r\nContent-Type: message/rfc822\r\n\r\nSubject: inner\r\n\r\ninner body\r\n"
                 "--w--\r\n",
         MessageOk,
         "wild",
         "outer",
         {"part2.eml"}},
        {"names of only dots or a slash",
         mixed +
             "--w\r\nContent-Type: text/plain\r\n\r\nb\r\n"
             "--w\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; "
             "filename=\"...\"\r\n\r\nx\r\n"
             "--w\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; "
             "filename=\"/\"\r\n\r\ny\r\n"
             "--w\r\nContent-Type: image/gif\r\nContent-Disposition: attachment; filename=\"..\"\r\n\r\nz\r\n"
             "--w--\r\n",
         MessageOk,
         "wild",
         "b",
         {"part2.dat", "part3.dat", "part4.gif"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString w = work();
        Message m;
        m.SetWorkFolder(w);
        ASSERT_EQ(c.code, ImportMeasured(m, write(c.bytes), c.bytes.size()));
        EXPECT_EQ(c.subject, m.GetSubject());
        EXPECT_TRUE(c.body.isEmpty() || m.GetTextBody().startsWith(c.body))
            << m.GetTextBody().left(80).toStdString();
        QStringList names;
        for (const BodyPart& p : m.GetBodyParts())
            names << p.PartFileName();
        EXPECT_EQ(c.parts, names) << names.join(QLatin1Char('|')).toStdString();
        for (const QString& f : FilesBelow(w))
            EXPECT_TRUE(f.startsWith(QLatin1String("Body1/"))) << f.toStdString();
        // the work folder is the only thing the parser writes to
        EXPECT_EQ(QStringList({QStringLiteral("hostile.eml"), QStringLiteral("work")}),
                  QDir(folder.path(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot));
    }
}

// A large attachment goes out as one encoded copy, streamed to the server in pieces: the file, the
// message and what is on its way to the socket together stay under three times the file's size.
TEST(LargeAttachment, SendsWithLessThanThreeTimesItsSize) {
    if (!QFileInfo::exists(QStringLiteral("/usr/sbin/smtp-sink")))
        GTEST_SKIP() << "smtp-sink is missing";
    smtptest::SinkPeer sink;
    ASSERT_TRUE(sink.ok());
    Folder folder;
    const qsizetype size = 48 * 1024 * 1024;
    QString path;
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i * 131 + i / 4093) & 0xFF);
        path = folder.write(QStringLiteral("big.bin"), bytes);
    }
    Smtp smtp;
    smtp.SetTimeouts(30000, 30000, 30000);
    smtp.SetMailServer(QStringLiteral("127.0.0.1"));
    smtp.SetPort(sink.port());
    smtp.SetFromAddress(QStringLiteral("sender@sender.test"));
    smtp.AddRecipient(QString(), QStringLiteral("r@rcpt.test"), mail::RecipientKind::To);
    smtp.SetBodyText(QStringLiteral("see the file"));
    ASSERT_EQ(smtp.AttachFile(path, QString(), AttachBase64), 0);
    qint32 lastProgress = 0;
    qint32 progressMax = 0;
    QObject::connect(&smtp, &Smtp::Progress, [&](qint32 value, qint32 max) {
        lastProgress = value;
        progressMax = max;
    });

    testenv::ResetPeakMemory();
    const qint64 before = testenv::StatusKb("VmRSS:") * 1024;
    ASSERT_EQ(smtp.Send(), 0);
    const qint64 growth = testenv::StatusKb("VmHWM:") * 1024 - before;
    EXPECT_GT(progressMax, size * 4 / 3) << "the whole encoded file went out";
    EXPECT_EQ(lastProgress, progressMax);
    if (!kSanitized) {
        EXPECT_LT(growth, 3 * size) << "bytes of memory for an attachment of " << size << " bytes";
    }
}
