// The printer writes a PDF in tests; no real printer is ever used.
#include "tests/mail/MimeTestSupport.h"

#include "mail/Message.h"
#include "mail/print/MessagePrinter.h"
#include "tests/mail/print/PrintedText.h"
#include "tests/support/FileEvents.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QRegularExpression>
#include <QTcpServer>
#include <QUrl>

#include <algorithm>
#include <gtest/gtest.h>

using namespace mail;
using namespace mimetest;

TEST(MessagePrinter, PrintsTheMessageToPdf) {
    Folder folder;
    QByteArray longBody;
    for (int i = 0; i < 400; ++i)
        longBody += "Line " + QByteArray::number(i) + " of a long text body.\r\n";
    const QString eml = folder.write(
        QStringLiteral("m.eml"),
        "From: Ann <ann@example.org>\r\nTo: bob@example.org\r\nSubject: Print me\r\n"
        "Date: Tue, 8 Dec 2026 14:05:09 +0000\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/alternative; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\n" +
            longBody + "--b\r\nContent-Type: text/html\r\n\r\n<h1>Hello</h1><p>printed</p>\r\n--b--\r\n");
    for (qint32 bodyPart : {BodyPartText, BodyPartHtml}) {
        Message message;
        ASSERT_EQ(message.ImportMessageFile(eml, bodyPart, 0), 0);
        MessagePrinter printer;
        const QString pdf = folder.path(QStringLiteral("out%1.pdf").arg(bodyPart));
        printer.SetOutputFileForTesting(pdf);
        printer.SetHeaderText(QStringLiteral("Velanto"));
        printer.SetHeaderStyle(HeaderCenter | HeaderBold | HeaderUnderline);
        printer.SetLeftMargin(10);
        printer.SetTopMargin(15);
        printer.SetRightMargin(99);
        EXPECT_EQ(printer.PrintMessage(message.GetMessageHandle(), 511), PrintOk);
        QFile f(pdf);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        EXPECT_TRUE(bytes.startsWith("%PDF"));
        const qsizetype pages =
            bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page ");
        if (bodyPart == BodyPartText)
            EXPECT_GT(pages, 1) << "400 lines take more than one page";
        else
            EXPECT_EQ(pages, 1);
    }
}

TEST(MessagePrinter, AHandleWithoutAMessageIsRefused) {
    MessagePrinter printer;
    Folder folder;
    printer.SetOutputFileForTesting(folder.path(QStringLiteral("x.pdf")));
    EXPECT_EQ(printer.PrintMessage(0, 511), PrintCannotInitialize);
    qint32 stale = 0;
    {
        Message message;
        ASSERT_EQ(message.ImportMessageFile(
                      folder.write(QStringLiteral("m.eml"), "Subject: x\r\n\r\nbody\r\n"), 0, 0),
                  0);
        stale = message.GetMessageHandle();
    }
    EXPECT_EQ(printer.PrintMessage(stale, 511), PrintCannotInitialize) << "the message is gone";
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("x.pdf"))));
}

namespace {
QByteArray Png(int width, int height, Qt::GlobalColor colour) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

// The widths of the pictures a PDF file holds, smallest first.
QList<int> PdfPictureWidths(const QString& pdf) {
    QFile f(pdf);
    if (!f.open(QIODevice::ReadOnly))
        return {-1};
    const QByteArray bytes = f.readAll();
    QList<int> widths;
    for (qsizetype at = bytes.indexOf("/Subtype /Image"); at >= 0;
         at = bytes.indexOf("/Subtype /Image", at + 1)) {
        const qsizetype width = bytes.indexOf("/Width ", at) + 7;
        widths << bytes.mid(width, bytes.indexOf('\n', width) - width).toInt();
    }
    std::sort(widths.begin(), widths.end());
    return widths;
}
} // namespace

TEST(MessagePrinter, LoadsOnlyTheMessagesOwnParts) {
    // The HTML names a device without end, a file of the user's, a web address and its own pictures: by
    // cid, inline, and relative to its body folder. Only its own may be printed; nothing else is opened.
    Folder folder;
    QTemporaryDir home;
    const QString secret = home.filePath(QStringLiteral("secret.png"));
    {
        QFile f(secret);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Png(5, 4, Qt::blue));
    }
    QTcpServer web;
    ASSERT_TRUE(web.listen(QHostAddress::LocalHost));
    QByteArray html = "<html><head><link rel=\"stylesheet\" href=\"file:///dev/zero\">"
                      "<link rel=\"stylesheet\" href=\"WEB\"></head><body><p>before</p>"
                      "<img src=\"file:///dev/zero\"><img src=\"SECRET_URL\"><img src=\"SECRET_PATH\">"
                      "<img src=\"WEB\"><table background=\"SECRET_URL\"><tr><td>cell</td></tr></table>"
                      "<img src=\"data:image/png;base64,INLINE\"><img src=\"cid:Own.Picture@example\">"
                      "<img src=\"own.png\"><p>after</p></body></html>";
    html.replace("SECRET_URL", QUrl::fromLocalFile(secret).toEncoded())
        .replace("SECRET_PATH", QFile::encodeName(secret))
        .replace("WEB", "http://127.0.0.1:" + QByteArray::number(web.serverPort()) + "/pixel.png")
        .replace("INLINE", Png(7, 7, Qt::green).toBase64());
    const QString eml = folder.write(
        QStringLiteral("m.eml"),
        "From: a@example.org\r\nSubject: pictures\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/related; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n" +
            html +
            "\r\n--b\r\nContent-Type: image/png; name=\"own.png\"\r\nContent-Transfer-Encoding: base64\r\n"
            "Content-ID: <own.picture@example>\r\n\r\n" +
            TinyPng().toBase64() + "\r\n--b--\r\n");
    testenv::FolderEvents events(home.path(), true);
    // Without a work folder (as Print Email Message loads it) the picture comes from its part; with one,
    // also from the body folder the part was written to.
    for (const bool workFolder : {false, true}) {
        SCOPED_TRACE(workFolder);
        Message message;
        if (workFolder)
            message.SetWorkFolder(folder.path(QStringLiteral("work")));
        ASSERT_EQ(message.ImportMessageFile(eml, BodyPartHtml, 0), 0);
        MessagePrinter printer;
        const QString pdf = folder.path(QStringLiteral("out%1.pdf").arg(workFolder));
        printer.SetOutputFileForTesting(pdf);
        EXPECT_EQ(printer.PrintMessage(message.GetMessageHandle(), 511), PrintOk);
        // Its own 3 pixel wide picture (by cid and, with a work folder, by name) and its inline 7 pixel
        // one; never the user's 5 pixel one.
        EXPECT_EQ(PdfPictureWidths(pdf), workFolder ? QList<int>({3, 3, 7}) : QList<int>({3, 7}));
    }
    const QStringList seen = events.eventsFor(QStringLiteral("secret.png"));
    EXPECT_TRUE(seen.isEmpty()) << "the user's file was read: " << seen.join(u' ').toStdString();
    QCoreApplication::processEvents();
    EXPECT_FALSE(web.hasPendingConnections()) << "a web address was fetched";
}

namespace {
// Numbered lines "Line 0" to "Line count-1", each ended by CR LF.
QByteArray NumberedLines(int count) {
    QByteArray lines;
    for (int i = 0; i < count; ++i)
        lines += "Line " + QByteArray::number(i) + " of a long body\r\n";
    return lines;
}

// Prints into a PDF file at a printer resolution so fine that a few hundred pages of text reach the
// height the engine can lay out in one document (a 16 MB body reaches it at the usual resolution).
qint32 PrintFine(const QString& eml, qint32 bodyPart, const QString& pdf, const PageProgress& progress = {}) {
    Message message;
    EXPECT_EQ(message.ImportMessageFile(eml, bodyPart, 0), 0);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setResolution(9600);
    MessagePrinter component;
    component.SetPrinter(&printer);
    component.SetPageProgress(progress);
    return component.PrintMessage(message.GetMessageHandle(), 511);
}
} // namespace

// Beyond the engine's height a text body lost its lines (a 16 MB body printed 241 of 266,000), and a
// 4 MB one printed the headers alone, reported as printed. Every line prints, once, in order.
TEST(MessagePrinter, ALongTextBodyPrintsEveryLine) {
    Folder folder;
    const int count = 12000;
    const QString eml = folder.write(
        QStringLiteral("m.eml"), "Subject: long\r\nContent-Type: text/plain\r\n\r\n" + NumberedLines(count));
    const QString pdf = folder.path(QStringLiteral("out.pdf"));
    qint32 pages = 0;
    ASSERT_EQ(PrintFine(eml, BodyPartText, pdf,
                        [&pages](qint32 printed) {
                            pages = printed;
                            return true;
                        }),
              PrintOk);
    const QString text = printtest::PdfText(pdf);
    EXPECT_TRUE(text.contains(QLatin1String("Subject:")));
    const QRegularExpression line(QStringLiteral("Line (\\d+) of a long body"));
    int expected = 0;
    for (auto it = line.globalMatch(text); it.hasNext(); ++expected) {
        const int seen = it.next().captured(1).toInt();
        if (seen != expected) {
            ADD_FAILURE() << "line " << seen << " printed where line " << expected << " belongs";
            break;
        }
    }
    EXPECT_EQ(expected, count);
    EXPECT_EQ(pages, text.count(u'\f')) << "pages told and printed";
}

// An HTML body the engine cannot lay out whole is refused, never printed in part.
TEST(MessagePrinter, AnHtmlBodyTooLongToLayOutIsRefused) {
    Folder folder;
    const QString eml =
        folder.write(QStringLiteral("m.eml"), "Subject: long\r\nContent-Type: text/html\r\n\r\n<pre>" +
                                                  NumberedLines(12000) + "</pre>\r\n");
    const QString pdf = folder.path(QStringLiteral("out.pdf"));
    EXPECT_EQ(PrintFine(eml, BodyPartHtml, pdf), PrintTooLong);
    EXPECT_FALSE(QFile::exists(pdf));
}

// A long print can be stopped after any page, and leaves nothing behind.
TEST(MessagePrinter, APrintStopsWhenTheProgressSaysSo) {
    Folder folder;
    const QString eml = folder.write(
        QStringLiteral("m.eml"), "Subject: long\r\nContent-Type: text/plain\r\n\r\n" + NumberedLines(2000));
    QList<qint32> told;
    const QString pdf = folder.path(QStringLiteral("out.pdf"));
    EXPECT_EQ(PrintFine(eml, BodyPartText, pdf,
                        [&told](qint32 printed) {
                            told << printed;
                            return printed < 3;
                        }),
              PrintCancelled);
    EXPECT_EQ(told, QList<qint32>({1, 2, 3}));
    EXPECT_FALSE(QFile::exists(pdf)) << "a stopped print leaves no file half written";
}
