// The four windows with their checks and exact messages, the export -> import round trip through the
// composer's controls, Python's reading of every exported file, and printing into a PDF file.
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "editor/HtmlEditor.h"
#include "sending/forms/ComposerInput.h"
#include "tests/mail/MimeTestSupport.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestComposer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/EmlCorpus.h"
#include "tests/tools/MessageFileFixture.h"
#include "tools/MessageExport.h"
#include "tools/forms/MessageFileForms.h"
#include "tools/forms/MessageImport.h"
#include "tools/forms/MessagePrint.h"
#include "tools/forms/RegisterMessageFileTools.h"
#include "ui/CommandWindows.h"
#include "ui/PrintDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

template <typename T>
T* Find(QWidget* w, const char* name) {
    T* found = w->findChild<T*>(QLatin1String(name));
    EXPECT_NE(nullptr, found) << name;
    return found;
}

void Click(QWidget* w, const char* name) {
    Find<QPushButton>(w, name)->click();
}

// The arrow of the given direction inside a row's up-down pair.
QToolButton* Arrow(QWidget* w, const char* upDown, Qt::ArrowType type) {
    if (QWidget* pair = Find<QWidget>(w, upDown))
        for (QToolButton* arrow : pair->findChildren<QToolButton*>())
            if (arrow->arrowType() == type)
                return arrow;
    ADD_FAILURE() << "no arrow in " << upDown;
    return nullptr;
}

void Press(QWidget* w, const char* upDown, Qt::ArrowType type) {
    if (QToolButton* arrow = Arrow(w, upDown, type))
        arrow->click();
}

// A message of the test's making, the composer the tools read and write, with one editor for the whole
// suite (an engine start is slow).
class MessageFileWindowsTest : public toolstest::MessageFileFixture {
protected:
    static void SetUpTestSuite() {
        window = new QWidget;
        editor = new HtmlEditor(window);
        editor->resize(640, 480);
    }
    static void TearDownTestSuite() {
        delete window;
        window = nullptr;
    }

    void SetUp() override {
        MessageFileFixture::SetUp();
        if (HasFatalFailure())
            return;
        composer.editor = editor;
        composer.group = QStringLiteral("Friends");
        composer.groupCount = 1;
        composer.format = MessageFormat::Html;
        composer.priority = MessagePriority::High;
        SaveSetting(Sections::Account, Keys::Name, QStringLiteral("Ann Sender"));
        SaveSetting(Sections::Account, Keys::Email, QStringLiteral("ann@example.com"));
        SaveSetting(Sections::Account, QStringLiteral("CharSet"), QStringLiteral("Unicode (UTF-8)"));
    }

    static inline QWidget* window = nullptr;
    static inline HtmlEditor* editor = nullptr;
    testenv::TestComposer composer;
};

TEST_F(MessageFileWindowsTest, TheExtrasCommandsOpenTheFourWindows) {
    RegisterMessageFileWindows();
    for (int id : {1074, 1075, 1076, 1077})
        EXPECT_TRUE(CommandWindows::IsRegistered(id)) << id;
}

TEST_F(MessageFileWindowsTest, PrintChecksInOrderAndTrimsTheHeader) {
    testenv::MessageBoxRecorder boxes;
    ExtraForm1 form;
    auto* header = Find<QLineEdit>(&form, "HeaderTextBox");
    header->setText(QStringLiteral("  Page head  "));
    Click(&form, "PrintButton");
    EXPECT_EQ(QStringLiteral("Please specify a file."), boxes.last());
    EXPECT_EQ(QStringLiteral("Page head"), header->text());

    testenv::FileDialogAnswers files;
    files.answer(testenv::WriteFile(path(QStringLiteral("m.eml")), corpus::Messages().at(0).bytes));
    Click(&form, "ChooseFolderButton");
    Click(&form, "PrintButton"); // the margins still hold "0"
    EXPECT_EQ(QStringLiteral("Please enter a valid margin."), boxes.last());
    EXPECT_EQ(Find<QLineEdit>(&form, "LeftMarginTextBox"),
              QApplication::focusWidget() ? QApplication::focusWidget() : form.focusWidget());
    // Each row's arrows step its own box from what the box holds, within 0 to 99.
    auto* top = Find<QLineEdit>(&form, "TopMarginTextBox");
    auto* right = Find<QLineEdit>(&form, "RightMarginTextBox");
    Press(&form, "TopUpDown", Qt::DownArrow);
    EXPECT_EQ(QStringLiteral("0"), top->text());
    Press(&form, "TopUpDown", Qt::UpArrow);
    Press(&form, "TopUpDown", Qt::UpArrow);
    EXPECT_EQ(QStringLiteral("2"), top->text());
    Press(&form, "TopUpDown", Qt::DownArrow);
    EXPECT_EQ(QStringLiteral("1"), top->text());
    right->setText(QStringLiteral("98"));
    Press(&form, "RightUpDown", Qt::UpArrow);
    Press(&form, "RightUpDown", Qt::UpArrow);
    EXPECT_EQ(QStringLiteral("99"), right->text());
    EXPECT_EQ(QStringLiteral("0"), Find<QLineEdit>(&form, "LeftMarginTextBox")->text());
    // Held down, an arrow keeps stepping; it drops nothing into a box that is switched off.
    EXPECT_TRUE(Arrow(&form, "LeftUpDown", Qt::UpArrow) &&
                Arrow(&form, "LeftUpDown", Qt::UpArrow)->autoRepeat());
    right->setEnabled(false);
    Press(&form, "RightUpDown", Qt::DownArrow);
    EXPECT_EQ(QStringLiteral("99"), right->text());
    right->setEnabled(true);
    top->setText(QStringLiteral("0"));
    Find<QLineEdit>(&form, "LeftMarginTextBox")->clear();
    Click(&form, "PrintButton"); // empty left wins over the invalid top
    EXPECT_EQ(QStringLiteral("Please enter your margin."), boxes.last());
    EXPECT_EQ(3u, boxes.seen().size());
}

TEST_F(MessageFileWindowsTest, PrintsHeaderAndBodyIntoAPdfFile) {
    const QString pdf = path(QStringLiteral("out.pdf"));
    int dialogs = 0;
    bool accept = false;
    SetPrintDialogHook([&](QPrinter& printer) {
        ++dialogs;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return accept;
    });
    testenv::MessageBoxRecorder boxes;
    testenv::FileDialogAnswers files;
    files.answer(testenv::WriteFile(path(QStringLiteral("m.eml")), corpus::Messages().at(0).bytes));
    ExtraForm1 form;
    Click(&form, "ChooseFolderButton");
    Find<QLineEdit>(&form, "HeaderTextBox")->setText(QStringLiteral("Velanto page head"));
    Find<QCheckBox>(&form, "BoldCheckBox")->setChecked(true);
    for (const char* box : {"LeftMarginTextBox", "TopMarginTextBox", "RightMarginTextBox"})
        Find<QLineEdit>(&form, box)->setText(QStringLiteral("15"));
    Click(&form, "PrintButton"); // the print dialog is cancelled
    EXPECT_EQ(QStringLiteral("Error 255: Cancelled by user."), boxes.last());
    EXPECT_FALSE(QFile::exists(pdf));

    accept = true;
    Click(&form, "PrintButton");
    SetPrintDialogHook({});
    EXPECT_EQ(2, dialogs);
    EXPECT_EQ(QStringLiteral("Print process has been completed."), boxes.last());
    EXPECT_EQ(QDialog::Accepted, form.result());
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(QLatin1String("Velanto page head"))) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QLatin1String("Spring offer text")));
    EXPECT_TRUE(printed.contains(QLatin1String("Subject:")));
}

// A message the printer refuses (here: more pictures than a printout shows) is never reported as
// printed, and nothing is printed of it.
TEST_F(MessageFileWindowsTest, ARefusedPrintIsNotReportedAsPrinted) {
    const QString pdf = path(QStringLiteral("out.pdf"));
    SetPrintDialogHook([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    PrintRequest request;
    request.messageFile = testenv::WriteFile(path(QStringLiteral("p.eml")),
                                             "Subject: pictures\r\nContent-Type: text/html\r\n\r\n" +
                                                 QByteArray("<img src=cid:x>").repeated(2500) + "\r\n");
    request.bodyPart = 1;
    EXPECT_EQ(QStringLiteral("Error 205: The message could not be printed because it shows more than 2000 "
                             "pictures."),
              PrintMessageFile(request, nullptr));
    SetPrintDialogHook({});
    EXPECT_FALSE(QFile::exists(pdf));
}

// The print dialog offers "<document name>.pdf" in the home folder when printing to a file: a subject
// with a slash would name a folder that is not there, and the print would fail.
TEST_F(MessageFileWindowsTest, ThePrintDocumentNameIsAFileName) {
    QString docName;
    SetPrintDialogHook([&](QPrinter& printer) {
        docName = printer.docName();
        return false;
    });
    PrintRequest request;
    request.messageFile =
        testenv::WriteFile(path(QStringLiteral("s.eml")), "Subject: Invoice 12/2026 \\ ../x\r\n\r\nbody\r\n");
    EXPECT_EQ(QStringLiteral("Error 255: Cancelled by user."), PrintMessageFile(request, nullptr));
    SetPrintDialogHook({});
    EXPECT_EQ(QStringLiteral("Invoice 12-2026 - ..-x"), docName);
}

TEST_F(MessageFileWindowsTest, ImportAndExtractRefuseWithTheirTexts) {
    testenv::MessageBoxRecorder boxes;
    {
        ExtraForm2 form(composer);
        Click(&form, "ImportButton");
        EXPECT_EQ(QStringLiteral("Please specify a file."), boxes.last());
        composer.subject = QStringLiteral("kept");
        testenv::FileDialogAnswers files;
        files.answer(path(QStringLiteral("missing.eml")));
        Click(&form, "ChooseImportButton");
        Click(&form, "ImportButton");
        EXPECT_EQ(QStringLiteral("Error 258: File IO error."), boxes.last());
        EXPECT_EQ(QStringLiteral("kept"), composer.subject);
        EXPECT_NE(QDialog::Accepted, form.result());
    }
    {
        ExtraForm4 form;
        Click(&form, "ExtractButton");
        EXPECT_EQ(QStringLiteral("Please specify a file."), boxes.last());
        testenv::FileDialogAnswers files;
        files.answer(testenv::WriteFile(path(QStringLiteral("m.eml")), corpus::Messages().at(0).bytes));
        Click(&form, "ChooseFolderButton");
        Click(&form, "ExtractButton");
        EXPECT_EQ(QStringLiteral("There is nothing to export."), boxes.last());
        files.answer(path(QStringLiteral("r.txt")));
        files.answer(path(QStringLiteral("r.txt")));
        Click(&form, "CommandButton2");
        Click(&form, "CommandButton3");
        Click(&form, "ExtractButton");
        EXPECT_EQ(QStringLiteral("You cannot assign a single file for both Recipients and Timestamps."),
                  boxes.last());
        files.answer(path(QStringLiteral("t.txt")));
        Click(&form, "CommandButton3");
        Click(&form, "ExtractButton");
        EXPECT_EQ(QStringLiteral("Extract process has been completed."), boxes.last());
        EXPECT_TRUE(testenv::ReadFile(path(QStringLiteral("r.txt"))).startsWith("Name: Bob\r\n"));
        EXPECT_TRUE(testenv::ReadFile(path(QStringLiteral("t.txt"))).startsWith("By: in.example.org\r\n"));
    }
    {
        ExtraForm3 form(composer);
        Click(&form, "ExportButton");
        EXPECT_EQ(QStringLiteral("Please specify a file."), boxes.last());
    }
}

// A text message exported, then imported: same subject, body text and attachment bytes; the export
// never replaces a file it could not write completely.
TEST_F(MessageFileWindowsTest, TextRoundTripAndFailedExportKeepsTheOldFile) {
    composer.format = MessageFormat::Text;
    composer.subject = QString::fromUtf8("Grüße & more");
    editor->SetDocumentHTML(QStringLiteral("<html><body><p>Hello round trip</p></body></html>"));
    const QByteArray bytes("binary\0data\xff", 12);
    composer.attachments << testenv::WriteFile(path(QStringLiteral("data.bin")), bytes);

    testenv::MessageBoxRecorder boxes;
    const QString target = testenv::WriteFile(path(QStringLiteral("out.eml")), "OLD");
    composer.attachments << path(QStringLiteral("gone.bin"));
    {
        ExtraForm3 form(composer);
        Find<QLineEdit>(&form, "FilePathTextBox")->setText(target);
        Click(&form, "ExportButton");
        EXPECT_TRUE(boxes.last().startsWith(QLatin1String("The message could not be written")))
            << boxes.last().toStdString();
        EXPECT_EQ(QByteArray("OLD"), testenv::ReadFile(target));
    }
    composer.attachments.removeAt(1);
    {
        ExtraForm3 form(composer);
        Find<QLineEdit>(&form, "FilePathTextBox")->setText(target);
        Click(&form, "ExportButton");
        EXPECT_EQ(QStringLiteral("Export process has been completed."), boxes.last());
    }
    const QByteArray exported = testenv::ReadFile(target);
    const QJsonObject summary = mimetest::PythonSummary(exported);
    EXPECT_EQ(QJsonArray(), summary.value(QStringLiteral("defects")).toArray());
    const QJsonObject headers = summary.value(QStringLiteral("headers")).toObject();
    EXPECT_EQ(QStringLiteral("Friends <Friends>"), headers.value(QStringLiteral("To")).toString());
    EXPECT_TRUE(exported.contains("X-Mailer: Torvale Velanto Ostrel"));

    composer.subject.clear();
    composer.attachments.clear();
    editor->SetDocumentHTML(QStringLiteral("<p>other</p>"));
    composer.format = MessageFormat::Html;
    ExtraForm2 form(composer);
    Find<QLineEdit>(&form, "FilePathTextBox")->setText(target);
    boxes.answer(QMessageBox::No); // the typed document is not kept
    Click(&form, "ImportButton");
    EXPECT_EQ(QStringLiteral("Import process has been completed."), boxes.last());
    EXPECT_EQ(QString::fromUtf8("Grüße & more"), composer.subject);
    EXPECT_EQ(MessageFormat::Text, composer.format);
    EXPECT_TRUE(editor->DOM().bodyOuterText().contains(QLatin1String("Hello round trip")));
    ASSERT_EQ(1, composer.attachments.size());
    EXPECT_EQ(bytes, testenv::ReadFile(composer.attachments.at(0)));
    EXPECT_TRUE(composer.attachments.at(0).startsWith(DataPath() + QStringLiteral("ImportBody/")));

    // The same message again: listed twice, the first file keeps its bytes under its own name.
    testenv::WriteFile(composer.attachments.at(0), "changed by the user");
    boxes.answer(QMessageBox::No);
    Click(&form, "ImportButton");
    ASSERT_EQ(2, composer.attachments.size());
    EXPECT_NE(composer.attachments.at(0), composer.attachments.at(1));
    EXPECT_EQ(QByteArray("changed by the user"), testenv::ReadFile(composer.attachments.at(0)));
    EXPECT_EQ(bytes, testenv::ReadFile(composer.attachments.at(1)));
}

// The account settings and the composer's controls as the exported file shows them: the subject by
// header encoding (an empty one is left out unless sent as it is), priority, read receipt and the
// attachment encoding (an unknown one attaches nothing).
TEST_F(MessageFileWindowsTest, ExportFollowsTheSettingsAndControls) {
    struct Case {
        const char* name;
        const char* headerEncoding;
        QString subject;
        MessagePriority priority;
        bool receipt;
        const char* attachmentEncoding;
        QList<QByteArray> present;
        QList<QByteArray> absent;
    };
    const QList<Case> cases = {
        {"empty subject as typed",
         "None",
         QString(),
         MessagePriority::Low,
         false,
         "Base 64",
         {"\r\nSubject: \r\n", "X-Priority: 5", "Content-Transfer-Encoding: base64"},
         {"Disposition-Notification-To"}},
        {"empty subject encoded",
         "Quoted Printable",
         QString(),
         MessagePriority::Normal,
         true,
         "Quoted Printable",
         {"X-Priority: 3", "Disposition-Notification-To: ann@example.com", "filename=a.txt"},
         {"Subject:"}},
        {"empty subject in base 64",
         "Base 64",
         QString(),
         MessagePriority::High,
         false,
         "None",
         {"X-Priority: 1", "filename=a.txt"},
         {"Subject:"}},
        {"subject encoded",
         "Quoted Printable",
         QStringLiteral("Hi there"),
         MessagePriority::High,
         false,
         "Other",
         {"Subject: =?utf-8?Q?Hi_there?=", "X-Priority: 1"},
         {"filename=a.txt"}},
        {"unknown header encoding",
         "Other",
         QStringLiteral("Hi"),
         MessagePriority::Low,
         false,
         "Base 64",
         {"filename=a.txt", "X-Priority: 5"},
         {"Subject:"}},
    };
    const QString attachment = testenv::WriteFile(path(QStringLiteral("a.txt")), "attached text\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SaveSetting(Sections::Account, Keys::HeaderEncoding, QLatin1String(c.headerEncoding));
        SaveSetting(Sections::Account, Keys::AttachmentEncoding, QLatin1String(c.attachmentEncoding));
        composer.format = MessageFormat::Text;
        composer.subject = c.subject;
        composer.priority = c.priority;
        composer.readReceipt = c.receipt;
        composer.attachments.clear();
        composer.attachments << attachment;
        editor->SetDocumentHTML(QStringLiteral("<p>body</p>"));
        const QString target = path(QStringLiteral("settings.eml"));
        ASSERT_EQ(0, ExportComposedMessage(SendRunInputFrom(composer), target));
        const QByteArray exported = testenv::ReadFile(target);
        for (const QByteArray& p : c.present)
            EXPECT_TRUE(exported.contains(p)) << p.toStdString() << "\n" << exported.toStdString();
        for (const QByteArray& a : c.absent)
            EXPECT_FALSE(exported.contains(a)) << a.toStdString() << "\n" << exported.toStdString();
        EXPECT_EQ(QJsonArray(), mimetest::PythonSummary(exported).value(QStringLiteral("defects")).toArray());
    }
}

// An HTML message with a picture, exported under every encoding set-up: Python reads each without
// defects, and the import shows the body with its picture beside it.
TEST_F(MessageFileWindowsTest, HtmlExportsReadCleanlyAndImportWithTheirPictures) {
    const QString png = testenv::WriteFile(path(QStringLiteral("logo.png")), corpus::Png());
    const QString doc =
        testenv::WriteFile(path(QStringLiteral("doc.htm")),
                           "<html><body><p>Offer \xc3\xa9t\xc3\xa9</p><img src=\"logo.png\"></body></html>");
    ASSERT_TRUE(editor->LoadDocument(doc));
    composer.format = MessageFormat::Html;
    composer.subject = QStringLiteral("Summer");
    composer.readReceipt = true;
    composer.attachments << png;
    struct Setup {
        const char* encoding;
        const char* textPart;
        const char* charset;
    };
    const Setup setups[] = {{"Quoted Printable", "1", "Unicode (UTF-8)"},
                            {"Base 64", "0", "Western European (ISO)"},
                            {"None", "1", "Cyrillic (KOI8-R)"}};
    for (const Setup& s : setups) {
        SCOPED_TRACE(s.encoding);
        SaveSetting(Sections::Account, Keys::Encoding, QLatin1String(s.encoding));
        SaveSetting(Sections::Account, Keys::HeaderEncoding, QLatin1String(s.encoding));
        SaveSetting(Sections::Account, Keys::AttachmentEncoding, QLatin1String(s.encoding));
        SaveSetting(Sections::Account, Keys::TextPart, QLatin1String(s.textPart));
        SaveSetting(Sections::Account, QStringLiteral("CharSet"), QLatin1String(s.charset));
        const QString target = path(QStringLiteral("html.eml"));
        ASSERT_EQ(0, ExportComposedMessage(SendRunInputFrom(composer), target));
        const QJsonObject summary = mimetest::PythonSummary(testenv::ReadFile(target));
        ASSERT_FALSE(summary.isEmpty());
        EXPECT_EQ(QJsonArray(), summary.value(QStringLiteral("defects")).toArray());
        const QJsonObject headers = summary.value(QStringLiteral("headers")).toObject();
        EXPECT_EQ(QStringLiteral("Summer"), headers.value(QStringLiteral("Subject")).toString());
        EXPECT_EQ(QStringLiteral("ann@example.com"),
                  headers.value(QStringLiteral("Disposition-Notification-To")).toString());
        EXPECT_EQ(QStringLiteral("1"), headers.value(QStringLiteral("X-Priority")).toString().left(1));
        int texts = 0;
        for (const QJsonObject& leaf : mimetest::PythonLeaves(summary))
            texts += leaf.value(QStringLiteral("type")).toString() == QLatin1String("text/plain");
        EXPECT_EQ(QLatin1String(s.textPart) == QLatin1String("1") ? 1 : 0, texts);
    }
    // The document keeps its own file, and the export is there to import.
    EXPECT_EQ(doc, editor->CurrentDocumentPath());

    testenv::MessageBoxRecorder boxes;
    ExtraForm2 form(composer);
    Find<QLineEdit>(&form, "FilePathTextBox")->setText(path(QStringLiteral("html.eml")));
    composer.attachments.clear();
    Click(&form, "ImportButton");
    EXPECT_EQ(QStringLiteral("Import process has been completed."), boxes.last());
    EXPECT_EQ(MessageFormat::Html, composer.format);
    const QString loaded = editor->CurrentDocumentPath();
    EXPECT_TRUE(loaded.startsWith(DataPath() + QStringLiteral("ImportBody/"))) << loaded.toStdString();
    EXPECT_TRUE(loaded.endsWith(QLatin1String("/index.htm")));
    EXPECT_TRUE(editor->DOM().bodyOuterText().contains(QString::fromUtf8("Offer été")));
    const QString html = QString::fromUtf8(testenv::ReadFile(loaded));
    const qsizetype src = html.indexOf(QLatin1String("src=\""));
    ASSERT_GE(src, 0) << html.toStdString();
    const QString picture = html.mid(src + 5, html.indexOf(QLatin1Char('"'), src + 5) - src - 5);
    EXPECT_EQ(corpus::Png(),
              testenv::ReadFile(QFileInfo(loaded).absolutePath() + QLatin1Char('/') + picture));
    ASSERT_EQ(1, composer.attachments.size());
    EXPECT_EQ(corpus::Png(), testenv::ReadFile(composer.attachments.at(0)));
}

// The import shows a UTF-8 body with one bad byte with that byte replaced and nothing else changed, and a
// gb2312 subject holding GBK characters as Chinese.
TEST_F(MessageFileWindowsTest, AnImportReadsTheBodyAndSubjectInTheirCharsets) {
    const QString file = testenv::WriteFile(
        path(QStringLiteral("c.eml")),
        "From: a@example.org\r\nSubject: =?gb2312?B?ztKw0Yg=?= =?gb2312?B?0ulGzbc=?=\r\nMIME-Version: 1.0\r\n"
        "Content-Type: text/html; charset=utf-8\r\n\r\n<p>\xd0\x9f\xd1\x80\xd0\xb8 \xff "
        "\xd0\xbc\xd0\xb8\xd1\x80</p>\r\n");
    ASSERT_TRUE(ImportMessageIntoComposer(file, composer).done);
    EXPECT_EQ(QStringLiteral(u"我把堃镕头"), composer.subject);
    EXPECT_EQ(QStringLiteral(u"При \uFFFD мир"), editor->DOM().bodyOuterText().trimmed());
}

// The body folder of an import never lands on an attachment of an earlier one (an attachment named
// "Body1"); a body that could not be copied, or that the editor did not take, is a failure that leaves
// the composer's subject and attachments as they were.
TEST_F(MessageFileWindowsTest, AnImportedBodyNeverCollidesWithAnAttachmentAndAFailedCopyIsNoSuccess) {
    testenv::MessageBoxRecorder boxes;
    const QString attached =
        testenv::WriteFile(path(QStringLiteral("attached.eml")),
                           "Subject: attached\r\nMIME-Version: 1.0\r\n"
                           "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
                           "--m\r\nContent-Type: text/plain\r\n\r\nsee the file\r\n"
                           "--m\r\nContent-Type: application/octet-stream\r\n"
                           "Content-Disposition: attachment; filename=\"Body1\"\r\n\r\nthe attachment\r\n"
                           "--m--\r\n");
    const QString html =
        testenv::WriteFile(path(QStringLiteral("html.eml")),
                           "Subject: html\r\nMIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n"
                           "\r\n<html><body><p>The imported body</p></body></html>\r\n");
    for (const QString& file : {attached, html}) {
        ExtraForm2 form(composer);
        Find<QLineEdit>(&form, "FilePathTextBox")->setText(file);
        if (editor->IsDirty()) // a text body imported before is not kept
            boxes.answer(QMessageBox::No);
        Click(&form, "ImportButton");
        EXPECT_EQ(QStringLiteral("Import process has been completed."), boxes.last());
    }
    EXPECT_EQ(MessageFormat::Html, composer.format);
    EXPECT_TRUE(editor->DOM().bodyOuterText().contains(QLatin1String("The imported body")));
    ASSERT_EQ(1, composer.attachments.size());
    EXPECT_EQ(QByteArray("the attachment"), testenv::ReadFile(composer.attachments.at(0)));

    // The imported-body folder cannot be made: the import says so and changes nothing.
    const QString importBody = DataPath() + QStringLiteral("ImportBody");
    ASSERT_TRUE(QDir(importBody).removeRecursively());
    testenv::WriteFile(importBody, "a file where the folder belongs");
    composer.subject = QStringLiteral("kept");
    ExtraForm2 form(composer);
    Find<QLineEdit>(&form, "FilePathTextBox")->setText(html);
    Click(&form, "ImportButton");
    EXPECT_TRUE(boxes.last().startsWith(QLatin1String("These could not be written:")))
        << boxes.last().toStdString();
    EXPECT_TRUE(boxes.last().contains(importBody)) << boxes.last().toStdString();
    EXPECT_EQ(QStringLiteral("kept"), composer.subject);
    EXPECT_NE(QDialog::Accepted, form.result());

    // A body the editor refuses (a NUL character makes it no text document) is no success either.
    ASSERT_TRUE(QFile::remove(importBody));
    Find<QLineEdit>(&form, "FilePathTextBox")
        ->setText(testenv::WriteFile(path(QStringLiteral("nul.eml")),
                                     QByteArray("Subject: nul\r\nContent-Type: text/html\r\n\r\n<p>a") +
                                         '\0' + "b</p>\r\n"));
    Click(&form, "ImportButton");
    EXPECT_EQ(QStringLiteral("The message body could not be loaded into the editor."), boxes.last());
    EXPECT_EQ(QStringLiteral("kept"), composer.subject);
    EXPECT_NE(QDialog::Accepted, form.result());
}

// An import into a modified document first asks to save it, as New and Open do: Cancel keeps the
// document, its file and the composer's fields as they were; Yes saves the document in its own file
// before the message replaces it; No replaces it and leaves the file as last saved.
TEST_F(MessageFileWindowsTest, AnImportAsksBeforeItReplacesAModifiedDocument) {
    const QString message =
        testenv::WriteFile(path(QStringLiteral("offer.eml")),
                           "Subject: Offer\r\nMIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n"
                           "\r\n<html><body><p>The imported offer</p></body></html>\r\n");
    const QByteArray saved = "<html><body><p>My letter</p></body></html>";
    const QString letter = testenv::WriteFile(path(QStringLiteral("letter.htm")), saved);
    composer.subject = QStringLiteral("mine");
    composer.format = MessageFormat::Html;
    testenv::MessageBoxRecorder boxes;
    testenv::FileDialogAnswers files;
    auto modifyLetter = [&] {
        ASSERT_TRUE(editor->LoadDocument(letter));
        editor->DOM().pasteHTML(QStringLiteral("<b>unsaved words</b>"));
        ASSERT_TRUE(editor->IsDirty());
    };
    auto import = [&](QMessageBox::StandardButton answer) {
        ExtraForm2 form(composer);
        form.show();
        files.answer(message);
        QTest::mouseClick(Find<QPushButton>(&form, "ChooseImportButton"), Qt::LeftButton);
        boxes.answer(answer);
        QTest::mouseClick(Find<QPushButton>(&form, "ImportButton"), Qt::LeftButton);
        return form.result();
    };

    modifyLetter();
    const size_t before = boxes.seen().size();
    EXPECT_NE(QDialog::Accepted, import(QMessageBox::Cancel));
    ASSERT_EQ(before + 1, boxes.seen().size());
    EXPECT_EQ(QStringLiteral("Do you want to save the changes?"), boxes.last());
    EXPECT_EQ(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, boxes.seen().back().buttons);
    EXPECT_TRUE(editor->IsDirty());
    EXPECT_EQ(letter, editor->CurrentDocumentPath());
    EXPECT_TRUE(editor->DOM().bodyOuterText().contains(QLatin1String("unsaved words")));
    EXPECT_EQ(QStringLiteral("mine"), composer.subject);
    EXPECT_EQ(saved, testenv::ReadFile(letter));

    EXPECT_EQ(QDialog::Accepted, import(QMessageBox::Yes));
    EXPECT_EQ(QStringLiteral("Import process has been completed."), boxes.last());
    EXPECT_TRUE(testenv::ReadFile(letter).contains("unsaved words"));
    EXPECT_EQ(QStringLiteral("Offer"), composer.subject);
    EXPECT_TRUE(editor->DOM().bodyOuterText().contains(QLatin1String("The imported offer")));

    composer.subject = QStringLiteral("mine");
    testenv::WriteFile(letter, saved);
    modifyLetter();
    EXPECT_EQ(QDialog::Accepted, import(QMessageBox::No));
    EXPECT_EQ(QStringLiteral("Import process has been completed."), boxes.last());
    EXPECT_EQ(saved, testenv::ReadFile(letter));
    EXPECT_EQ(QStringLiteral("Offer"), composer.subject);
    EXPECT_EQ(3u, files.seen().size()) << "no save dialog: the letter has a file of its own";
}

} // namespace
