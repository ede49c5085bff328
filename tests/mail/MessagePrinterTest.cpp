// The printer writes a PDF in tests; no real printer is ever used.
#include "MimeTestSupport.h"

#include "mail/Message.h"
#include "mail/MessagePrinter.h"

#include <QFile>

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
