// Extraction, work folders and part names: what the message-file tools write, and where.
#include "tools/MessageFiles.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "mail/Message.h"
#include "sending/SendRun.h"
#include "tests/support/FileEvents.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/EmlCorpus.h"
#include "tests/tools/MessageFileFixture.h"
#include "tools/MessageExport.h"
#include "tools/MessageExtract.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using testenv::FilesBelow;

using MessageFilesTest = toolstest::MessageFileFixture;

TEST_F(MessageFilesTest, CorpusAttachmentsAreSavedWithTheirNamesAndBytes) {
    for (const corpus::Eml& eml : corpus::Messages()) {
        SCOPED_TRACE(eml.label);
        const QString folder = path(QString::fromLatin1(eml.label));
        ExtractRequest request;
        request.messageFile = testenv::WriteFile(path(QStringLiteral("m.eml")), eml.bytes);
        request.attachmentsFolder = folder;
        request.bodyFolder = folder + QStringLiteral("-body");
        const ExtractOutcome outcome = RunExtract(request);
        EXPECT_EQ(QString(), outcome.stopText);
        EXPECT_EQ(QStringList(), outcome.notWritten);
        EXPECT_EQ(QStringLiteral("Extract process has been completed."), ExtractReport(outcome));
        QStringList expected;
        for (const corpus::Attachment& a : eml.attachments) {
            expected << a.name;
            if (!a.bytes.isEmpty()) {
                EXPECT_EQ(a.bytes, testenv::ReadFile(folder + QLatin1Char('/') + a.name))
                    << a.name.toStdString();
            }
        }
        expected.sort();
        EXPECT_EQ(expected, FilesBelow(folder));
        const QString body =
            QString::fromUtf8(testenv::ReadFile(request.bodyFolder + QStringLiteral("/Body.txt")));
        EXPECT_TRUE(body.contains(eml.bodyText)) << body.toStdString();
        EXPECT_TRUE(body.endsWith(QLatin1String("\r\n")));
        // An HTML body comes with the picture it shows, beside its index.htm.
        if (eml.hasHtml) {
            const QStringList files = FilesBelow(request.bodyFolder);
            EXPECT_TRUE(files.contains(QStringLiteral("Body1/index.htm"))) << files.join(' ').toStdString();
            EXPECT_TRUE(files.contains(QStringLiteral("Body1/logo.png")));
            EXPECT_TRUE(testenv::ReadFile(request.bodyFolder + QStringLiteral("/Body1/index.htm"))
                            .contains("src=\"logo.png\""));
        }
    }
}

TEST_F(MessageFilesTest, HostileNamesStayInsideTheFolderAndNeverReplaceFiles) {
    const QString root = path(QStringLiteral("deep/er/target"));
    QDir().mkpath(root);
    testenv::WriteFile(root + QStringLiteral("/x"), "mine");
    testenv::WriteFile(root + QStringLiteral("/same.txt"), "mine too");
    ExtractRequest request;
    request.messageFile = testenv::WriteFile(path(QStringLiteral("names.eml")), corpus::HostileNames());
    request.attachmentsFolder = root;
    const ExtractOutcome outcome = RunExtract(request);
    ASSERT_EQ(QString(), outcome.stopText);
    EXPECT_EQ(QStringList(), outcome.notWritten);

    // Nothing outside the target; the user's files untouched; every part under a name of its own.
    EXPECT_EQ(QStringList({QStringLiteral("er/target/ab"), QStringLiteral("er/target/part4.dat"),
                           QStringLiteral("er/target/same (2).txt"), QStringLiteral("er/target/same (3).txt"),
                           QStringLiteral("er/target/same.txt"), QStringLiteral("er/target/x"),
                           QStringLiteral("er/target/x (2)"), QStringLiteral("er/target/x (3)")}),
              FilesBelow(path(QStringLiteral("deep"))));
    EXPECT_EQ(QByteArray("mine"), testenv::ReadFile(root + QStringLiteral("/x")));
    EXPECT_EQ(QByteArray("mine too"), testenv::ReadFile(root + QStringLiteral("/same.txt")));
    QStringList contents;
    for (const QString& f : FilesBelow(root))
        contents << QString::fromLatin1(testenv::ReadFile(root + QLatin1Char('/') + f));
    contents.sort();
    EXPECT_EQ(QStringList({"mine", "mine too", "part1", "part2", "part3", "part4", "part5", "part6"}),
              contents);
}

// Every file and folder below root that is not the user's only, with its mode ("body/Body.txt 644").
QString NotPrivateBelow(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        struct stat st {};
        ::lstat(QFile::encodeName(entry).constData(), &st);
        if ((st.st_mode & 07777) != (S_ISDIR(st.st_mode) ? 0700u : 0600u))
            out << QDir(root).relativeFilePath(entry) + QStringLiteral(" %1").arg(st.st_mode & 07777, 0, 8);
    }
    return out.join(QLatin1Char('\n'));
}

// Bodies, pictures, attachments and exported messages are the user's mail: what the tools make of them
// is readable by the user only, the folders they make included, however open the umask is.
TEST_F(MessageFilesTest, WhatTheToolsWriteIsTheUsersOnlyWhateverTheUmask) {
    const QString html = testenv::WriteFile(path(QStringLiteral("html.eml")), corpus::Messages().at(0).bytes);
    const QString attached =
        testenv::WriteFile(path(QStringLiteral("att.eml")), corpus::Messages().at(1).bytes);
    for (const mode_t mask : {mode_t(0), mode_t(022)}) {
        const QString root = path(QStringLiteral("umask%1").arg(mask, 3, 8, QLatin1Char('0')));
        const QString exported = root + QStringLiteral("-export.eml");
        const mode_t before = ::umask(mask);
        ExtractRequest request;
        request.messageFile = html;
        request.bodyFolder = root + QStringLiteral("/new/body");
        const QStringList notWritten = RunExtract(request).notWritten;
        request.messageFile = attached;
        request.bodyFolder.clear();
        request.attachmentsFolder = root + QStringLiteral("/new/attachments");
        const QStringList alsoNotWritten = RunExtract(request).notWritten;
        mail::Message message;
        message.SetWorkFolder(root + QStringLiteral("-work"));
        message.ImportMessageFile(html, mail::BodyPartHtml, 2, 0);
        const QString copy =
            CopyBodyFolderInto(message.GetHtmlBodyPath(), root + QStringLiteral("/imported"));
        SendRunInput input;
        input.format = MessageFormat::Text;
        input.groupName = QStringLiteral("Friends");
        input.plainBody = [] { return QStringLiteral("Hello"); };
        const qint32 exportResult = ExportComposedMessage(input, exported);
        ::umask(before);

        SCOPED_TRACE(root.toStdString());
        EXPECT_EQ(QStringList(), notWritten + alsoNotWritten);
        EXPECT_EQ(0, exportResult);
        for (const QString& made :
             {QStringLiteral("/new/body/Body.txt"), QStringLiteral("/new/body/Body1/logo.png"),
              QStringLiteral("/new/attachments/über Bericht.pdf"),
              QStringLiteral("/imported/Body1/index.htm")})
            EXPECT_TRUE(QFileInfo(root + made).isFile()) << made.toStdString();
        EXPECT_EQ(std::string(), NotPrivateBelow(root).toStdString());
        EXPECT_EQ(std::string(), NotPrivateBelow(root + QStringLiteral("-work")).toStdString());
        struct stat st {};
        ASSERT_EQ(0, ::stat(QFile::encodeName(exported).constData(), &st));
        EXPECT_EQ(0600u, st.st_mode & 07777);
    }
}

TEST_F(MessageFilesTest, FreeNamesAreSafeUniqueAndAtMost255Bytes) {
    const QString folder = path(QStringLiteral("f"));
    QDir().mkpath(folder);
    struct Case {
        QString given;
        QString expected;
    };
    const QString longStem(300, QChar(0x00E9)); // two bytes each in UTF-8
    const Case cases[] = {
        {QStringLiteral("../../etc/passwd"), QStringLiteral("passwd")},
        {QStringLiteral("..\\..\\boot.ini"), QStringLiteral("boot.ini")},
        {QStringLiteral(".."), QStringLiteral("fallback.dat")},
        {QStringLiteral("a\u0000b\u001fc\u007f.txt"), QStringLiteral("abc.txt")},
        {QStringLiteral(".hidden"), QStringLiteral("hidden")},
        {QString(), QStringLiteral("fallback.dat")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, FreeFileNameIn(folder, c.given, QStringLiteral("fallback.dat")))
            << c.given.toStdString();

    const QString cut = FreeFileNameIn(folder, longStem + QStringLiteral(".pdf"), QStringLiteral("f.dat"));
    EXPECT_LE(cut.toUtf8().size(), 255);
    EXPECT_TRUE(cut.endsWith(QLatin1String(".pdf")));
    testenv::WriteFile(folder + QLatin1Char('/') + cut, "x");
    const QString second = FreeFileNameIn(folder, longStem + QStringLiteral(".pdf"), QStringLiteral("f.dat"));
    EXPECT_NE(cut, second);
    EXPECT_LE(second.toUtf8().size(), 255);
    EXPECT_TRUE(second.endsWith(QLatin1String(" (2).pdf")));
}

TEST_F(MessageFilesTest, RecipientAndTimestampFiles) {
    const corpus::Eml eml = corpus::Messages().at(0);
    ExtractRequest request;
    request.messageFile = testenv::WriteFile(path(QStringLiteral("m.eml")), eml.bytes);
    const QString out = path(QStringLiteral("out"));
    QDir().mkpath(out);
    request.recipientsFile = out + QStringLiteral("/recipients.txt");
    request.timestampsFile = out + QStringLiteral("/times.txt");
    {
        testenv::FolderEvents events(out);
        ASSERT_EQ(QStringList(), RunExtract(request).notWritten);
        // Both lists are personal data: readable by the user only from the moment they exist.
        for (const QString& file : {request.recipientsFile, request.timestampsFile})
            EXPECT_EQ(QFile::ReadOwner | QFile::WriteOwner,
                      QFile::permissions(file) & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                  QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther))
                << file.toStdString();
        EXPECT_EQ(QStringList(), events.namesWith(QStringLiteral("attrib")))
            << "modes changed after creation";
    }
    EXPECT_EQ(QByteArray("Name: Bob\r\nAddress: bob@example.com\r\nType: Normal recipient\r\n-\r\n"
                         "Name: Last, First\r\nAddress: lf@example.com\r\nType: Normal recipient\r\n-\r\n"
                         "Name: \r\nAddress: carl@example.com\r\nType: Carbon copy recipient\r\n-\r\n"),
              testenv::ReadFile(request.recipientsFile));
    const QString times = QString::fromUtf8(testenv::ReadFile(request.timestampsFile));
    EXPECT_TRUE(times.startsWith(QLatin1String("By: in.example.org\r\nDateTime: "))) << times.toStdString();
    EXPECT_TRUE(times.contains(QLatin1String("\r\nFor: bob@example.com\r\n")));
    EXPECT_TRUE(times.contains(
        QLatin1String("\r\nID: abc123\r\nProtocol: ESMTP\r\nTimeZoneBias:  300 \r\nVia: \r\n-\r\n")));

    // A message without Received headers leaves an existing timestamps file as it was.
    testenv::WriteFile(request.timestampsFile, "kept");
    request.messageFile = testenv::WriteFile(path(QStringLiteral("n.eml")), corpus::Messages().at(1).bytes);
    ASSERT_EQ(QStringList(), RunExtract(request).notWritten);
    EXPECT_EQ(QByteArray("kept"), testenv::ReadFile(request.timestampsFile));
    EXPECT_EQ(QStringLiteral("-300 "), OutputNumber(-300));
    EXPECT_EQ(QStringLiteral(" 0 "), OutputNumber(0));
    // A Received date is written at the header's own time, without a zone name: the system's name
    // beside a time of another zone would be wrong.
    const QDateTime inZone(QDate(2026, 12, 8), QTime(10, 11, 12), QTimeZone(3 * 3600));
    const QString shown = OutputDateTime(inZone);
    EXPECT_TRUE(shown.startsWith(QLocale::system().toString(inZone.date(), QLocale::ShortFormat) + ' '))
        << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QLatin1String("10:11:12"))) << shown.toStdString();
    EXPECT_EQ(QLocale::system().toString(inZone.date(), QLocale::ShortFormat),
              OutputDateTime(QDateTime(inZone.date(), QTime(0, 0), QTimeZone(-3600))));
}

TEST_F(MessageFilesTest, ChecksAndStopsComeBeforeAnyOutput) {
    ExtractRequest request;
    request.messageFile = path(QStringLiteral("m.eml"));
    EXPECT_EQ(QStringLiteral("There is nothing to export."), CheckExtractTargets(request));
    request.recipientsFile = path(QStringLiteral("same.txt"));
    request.timestampsFile = path(QStringLiteral("same.txt"));
    EXPECT_EQ(QStringLiteral("You cannot assign a single file for both Recipients and Timestamps."),
              CheckExtractTargets(request));
    request.timestampsFile = path(QStringLiteral("SAME.txt"));
    EXPECT_EQ(QString(), CheckExtractTargets(request));

    // Files that cannot be read give the message-file texts and write nothing.
    struct Case {
        const char* label;
        QByteArray bytes; // empty: no file at all
        const char* text;
    };
    const Case cases[] = {
        {"missing file", QByteArray(), "Error 258: File IO error."},
        {"multipart without boundary",
         "Subject: x\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed\r\n\r\n--\r\nbody\r\n",
         "Error 259: Could not find boundry mark."},
        {"unknown transfer encoding",
         "Subject: x\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: x-unheard-of\r\n\r\nbody\r\n",
         "Error 275: Encoding method unknown."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QFile::remove(request.messageFile);
        if (!c.bytes.isEmpty())
            testenv::WriteFile(request.messageFile, c.bytes);
        const ExtractOutcome outcome = RunExtract(request);
        EXPECT_EQ(QLatin1String(c.text), outcome.stopText);
        EXPECT_FALSE(QFile::exists(request.recipientsFile));
    }
    EXPECT_EQ(QString(), MessageFileFailureText(mail::MessageOk));
    EXPECT_EQ(QStringLiteral("Error 206: Exception."), MessageFileFailureText(mail::MessageFileResult(201)));
    EXPECT_EQ(QStringLiteral("Error 1002: BINHEX CRC error."),
              MessageFileFailureText(mail::MessageBinhexCrcError));
}

TEST_F(MessageFilesTest, WhatCouldNotBeWrittenIsNeverReportedDone) {
    const QString blocker = testenv::WriteFile(path(QStringLiteral("a-file")), "not a folder");
    ExtractRequest request;
    request.messageFile = testenv::WriteFile(path(QStringLiteral("m.eml")), corpus::Messages().at(1).bytes);
    request.attachmentsFolder = blocker + QStringLiteral("/inside");
    request.recipientsFile = blocker + QStringLiteral("/r.txt");
    const ExtractOutcome outcome = RunExtract(request);
    EXPECT_EQ(3, outcome.notWritten.size()) << outcome.notWritten.join(' ').toStdString();
    const QString report = ExtractReport(outcome);
    EXPECT_FALSE(report.contains(QLatin1String("completed")));
    EXPECT_TRUE(report.contains(request.recipientsFile));
}

// Body.txt holds the text read in its charset: one bad byte of a UTF-8 HTML body replaces only itself,
// and a gb2312 body holding GBK characters reads as Chinese.
TEST_F(MessageFilesTest, BodyTextIsReadInItsCharsetWithOnlyBadBytesReplaced) {
    const QList<QPair<QByteArray, QString>> cases = {
        {"Content-Type: text/html; charset=utf-8\r\n\r\n<p>\xd0\x9f\xd1\x80\xd0\xb8 \xff "
         "\xd0\xbc\xd0\xb8\xd1\x80</p>",
         QStringLiteral(u"При \uFFFD мир")},
        {"Content-Type: text/plain; charset=gb2312\r\n\r\n\xce\xd2\xb0\xd1\x88\xd2\xe9\x46\xcd\xb7",
         QStringLiteral(u"我把堃镕头")},
    };
    for (const auto& [part, text] : cases) {
        SCOPED_TRACE(text.toStdString());
        ExtractRequest request;
        request.messageFile = testenv::WriteFile(
            path(QStringLiteral("m.eml")), "From: a@example.org\r\nMIME-Version: 1.0\r\n" + part + "\r\n");
        request.bodyFolder = path(QStringLiteral("body"));
        ASSERT_EQ(QStringList(), RunExtract(request).notWritten);
        const QString body =
            QString::fromUtf8(testenv::ReadFile(request.bodyFolder + QStringLiteral("/Body.txt")));
        EXPECT_TRUE(body.contains(text)) << body.toStdString();
        EXPECT_EQ(text.count(QChar(0xFFFD)), body.count(QChar(0xFFFD)));
    }
}

// uuencode as mailers write it, blanks or grave accents for zero bits; stripped, its lines lose their
// trailing blanks as they do in transit (the empty line before "end" was a blank).
QByteArray Uuencoded(const QByteArray& data, bool stripped) {
    QByteArray out = "begin 644 a.zip\r\n";
    const char zero = stripped ? ' ' : '`';
    for (qsizetype at = 0; at < data.size(); at += 45) {
        const QByteArray chunk = data.mid(at, 45);
        QByteArray line(1, char(32 + chunk.size()));
        for (qsizetype i = 0; i < chunk.size(); i += 3) {
            const QByteArray three = (chunk.mid(i, 3) + QByteArray(2, '\0')).left(3);
            const uint v = uint(uchar(three[0])) << 16 | uint(uchar(three[1])) << 8 | uchar(three[2]);
            for (int shift = 18; shift >= 0; shift -= 6)
                line += ((v >> shift) & 63) ? char(32 + ((v >> shift) & 63)) : zero;
        }
        while (stripped && line.endsWith(' '))
            line.chop(1);
        out += line + "\r\n";
    }
    return out + (stripped ? "\r\n" : "`\r\n") + "end\r\n";
}

// A uuencoded zip whose lines lost their trailing blanks extracts byte for byte; a part whose data ends
// early (uuencode without "end", cut base64, a cut text body) is a failure of that part, counted, never
// "completed", and no cut attachment is saved as if it were whole.
TEST_F(MessageFilesTest, DamagedUuencodeExtractsWholeAndCutPartsAreFailures) {
    QByteArray data;
    for (int i = 0; i < 4000; ++i)
        data += i % 45 >= 38 || i % 7 == 0 ? '\0' : char(i * 37 % 251 + 1);
    const QByteArray whole = Uuencoded(data, true);
    const QList<QPair<const char*, QByteArray>> parts = {
        {"x-uuencode", whole},
        {"uuencode", Uuencoded(data, false)},
        {"x-uuencode", whole.left(whole.size() / 2)},
        {"base64", data.toBase64().chopped(3)},
    };
    QByteArray eml =
        "From: a@example.org\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=m\r\n\r\n"
        "--m\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\nc2VlIGF0dGFjaGV\r\n";
    for (int i = 0; i < parts.size(); ++i)
        eml += "--m\r\nContent-Type: application/zip\r\nContent-Disposition: attachment; filename=" +
               QByteArray::number(i) + ".zip\r\nContent-Transfer-Encoding: " + parts[i].first + "\r\n\r\n" +
               parts[i].second + "\r\n";
    ExtractRequest request;
    request.messageFile = testenv::WriteFile(path(QStringLiteral("m.eml")), eml + "--m--\r\n");
    request.attachmentsFolder = path(QStringLiteral("parts"));
    request.bodyFolder = path(QStringLiteral("body"));
    const ExtractOutcome outcome = RunExtract(request);
    EXPECT_EQ(QStringList(), outcome.notWritten);
    EXPECT_EQ(QStringList({request.bodyFolder + QStringLiteral("/Body.txt"), QStringLiteral("2.zip"),
                           QStringLiteral("3.zip")}),
              outcome.cutShort);
    EXPECT_EQ(data, testenv::ReadFile(request.attachmentsFolder + QStringLiteral("/0.zip")));
    EXPECT_EQ(data, testenv::ReadFile(request.attachmentsFolder + QStringLiteral("/1.zip")));
    EXPECT_EQ(QStringList({QStringLiteral("0.zip"), QStringLiteral("1.zip")}),
              FilesBelow(request.attachmentsFolder));
    const QString report = ExtractReport(outcome);
    EXPECT_FALSE(report.contains(QLatin1String("completed"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QLatin1String("3.zip"))) << report.toStdString();
}

TEST_F(MessageFilesTest, WorkFoldersOfEarlierRunsAreRemoved) {
    const QDateTime first(QDate(2026, 12, 8), QTime(14, 5, 9));
    EXPECT_EQ(QStringLiteral("12-08-2026_14-05-09"), WorkFolderName(first));
    EXPECT_EQ(QStringLiteral("12-08-2026_23-00-00"),
              WorkFolderName(QDateTime(QDate(2026, 12, 8), QTime(23, 0))));
    const QString a = MakeWorkFolder(first);
    ASSERT_FALSE(a.isEmpty());
    testenv::WriteFile(a + QStringLiteral("/Body1/index.htm"), "x");
    QDir(TempFolder()).mkdir(QStringLiteral("keep-me"));
    EXPECT_EQ(a, MakeWorkFolder(first)); // the same second: the same folder, kept
    EXPECT_TRUE(QFile::exists(a + QStringLiteral("/Body1/index.htm")));
    const QString b = MakeWorkFolder(first.addSecs(1));
    EXPECT_TRUE(QFileInfo(b).isDir());
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_TRUE(QFileInfo(TempFolder() + QStringLiteral("keep-me")).isDir());
}

TEST_F(MessageFilesTest, ImportFlagsFollowTheExtendedSetting) {
    EXPECT_EQ(2, MessageImportFlags(true));
    EXPECT_EQ(0, MessageImportFlags(false));
    SaveSetting(Sections::Account, Keys::Extended, QStringLiteral("1"));
    EXPECT_EQ(10, MessageImportFlags(true));
    EXPECT_EQ(8, MessageImportFlags(false));
    SaveSetting(Sections::Account, Keys::Extended, QStringLiteral("1 "));
    EXPECT_EQ(2, MessageImportFlags(true));
    EXPECT_EQ(0, BodyPartFromChoice(false, false, false));
    EXPECT_EQ(3, BodyPartFromChoice(false, false, true));
}

} // namespace
