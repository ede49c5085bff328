// The template dialog on a real editor: its checks, the save question before a modified document is
// replaced, and a filled-in template sent through the SMTP class to aiosmtpd.
#include "content/EmailTemplates.h"
#include "content/forms/RegisterContentWindows.h"
#include "content/forms/TemplateForm.h"
#include "core/Paths.h"
#include "mail/MimeComposer.h"
#include "mail/Smtp.h"
#include "tests/content/forms/ContentFixture.h"
#include "tests/mail/MimeTestSupport.h"
#include "tests/mail/SmtpPeers.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>

using namespace contenttest;

namespace {

class TemplateDialog : public ContentFixture {
protected:
    // Fills in the dialog as a user would and presses OK.
    static void Fill(TemplateForm* form, int row, const QString& company = QStringLiteral("Acme & Sons"),
                     const QString& site = QStringLiteral("www.acme.test"),
                     const QString& email = QStringLiteral("leave@acme.test"),
                     const QString& subject = QStringLiteral("REMOVE ME")) {
        Child<QListWidget>(form, "EmailListBox")->setCurrentRow(row);
        Child<QLineEdit>(form, "CompanyTextBox")->setText(company);
        Child<QLineEdit>(form, "WebSiteTextBox")->setText(site);
        Child<QLineEdit>(form, "EmailTextBox")->setText(email);
        Child<QLineEdit>(form, "SubjectTextBox")->setText(subject);
        Child<QPushButton>(form, "OKButton")->click();
    }
    // Makes the loaded document modified, as typing would.
    static void Modify() {
        editor->DOM().pasteHTML(QStringLiteral("<p>typed</p>"));
        ASSERT_TRUE(editor->IsDirty());
    }
    static QString Title() { return editor->DOM().title(); }
    // True once the document's first picture has been loaded and decoded by the engine.
    static bool WaitForLoadedPicture() {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            if (Eval(QStringLiteral("(function(){const i=document.querySelector('img');"
                                    "return !!i && i.complete && i.naturalWidth > 0;})()"))
                    .toBool())
                return true;
            QTest::qWait(50);
        }
        return false;
    }

    testenv::MessageBoxRecorder boxes;
};

} // namespace

TEST_F(TemplateDialog, ChecksComeInOrderOnTrimmedTexts) {
    auto seen = WhenShown<TemplateForm>([this](TemplateForm* form) {
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Insert Email Template"));
        auto* list = Child<QListWidget>(form, "EmailListBox");
        EXPECT_EQ(list->count(), 5);
        EXPECT_TRUE(list->selectedItems().isEmpty());
        auto* ok = Child<QPushButton>(form, "OKButton");
        auto* company = Child<QLineEdit>(form, "CompanyTextBox");
        auto* site = Child<QLineEdit>(form, "WebSiteTextBox");
        auto* email = Child<QLineEdit>(form, "EmailTextBox");
        auto* subject = Child<QLineEdit>(form, "SubjectTextBox");
        EXPECT_EQ(company->maxLength(), 64);
        EXPECT_EQ(email->maxLength(), 255);

        ok->click();
        list->setCurrentRow(2);
        company->setText(QStringLiteral("   "));
        ok->click();
        company->setText(QStringLiteral("  Acme  "));
        ok->click();
        EXPECT_EQ(company->text(), QStringLiteral("Acme"));
        site->setText(QStringLiteral("www.acme.test"));
        ok->click();
        email->setText(QStringLiteral(" not an address "));
        ok->click();
        EXPECT_EQ(email->text(), QStringLiteral("not an address"));
        email->setText(QStringLiteral("leave@acme.test"));
        ok->click();
        EXPECT_EQ(form->focusWidget(), subject); // the window need not be active yet
        EXPECT_TRUE(form->isVisible());
        form->reject();
    });
    Load("<html><body><p>mine</p></body></html>");
    ShowTemplateForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_EQ(boxes.texts(), QStringList({"Please select a template.", "Please enter your company name.",
                                          "Please enter your web site.", "Please enter unsubscribe email.",
                                          "Invalid email address.", "Please enter unsubscribe subject."}));
    for (const MessageBoxRequest& r : boxes.seen())
        EXPECT_EQ(r.icon, QMessageBox::Warning);
    // Cancel leaves the document alone.
    EXPECT_TRUE(editor->DOM().bodyOuterText().contains(QStringLiteral("mine")));
    EXPECT_EQ(editor->CurrentDocumentPath(), File(QStringLiteral("doc.htm")));
}

TEST_F(TemplateDialog, CleanDocumentIsReplacedWithoutAQuestion) {
    Load("<html><body><p>mine</p></body></html>");
    auto seen = WhenShown<TemplateForm>([](TemplateForm* form) { Fill(form, 1); });
    ShowTemplateForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.last().toStdString();
    EXPECT_EQ(Title(), QStringLiteral("Health Template"));
    EXPECT_EQ(editor->CurrentDocumentPath(), QString());
    EXPECT_TRUE(editor->IsDirty());
    const QString html = editor->DocumentHTML();
    EXPECT_FALSE(html.contains(QStringLiteral("mine")));
    EXPECT_TRUE(html.contains(QStringLiteral("$*MergeFirstName*$")));
    EXPECT_FALSE(html.contains(QStringLiteral("TorvaleCo")));
    EXPECT_FALSE(html.contains(QStringLiteral("UnsubscribeNow")));
    EXPECT_EQ(html.count(QStringLiteral("leave@acme.test")), 2);
    // The picture is the program folder's copy, and the engine finds it.
    const QString src = Eval(QStringLiteral("document.querySelector('img').getAttribute('src')")).toString();
    EXPECT_EQ(QUrl(src).toLocalFile(), ProgramFolder() + QStringLiteral("Template2.jpg"));
    EXPECT_TRUE(WaitForLoadedPicture());
    // The company goes in as typed, the ampersand included.
    EXPECT_TRUE(editor->DOM().bodyOuterText().contains(QStringLiteral("subscribe you to Acme & Sons.")))
        << editor->DOM().bodyOuterText().toStdString();
}

TEST_F(TemplateDialog, PicturesAreFoundWhateverTheProgramFolderIsCalled) {
    // Characters that mean something in an address: a fragment, an escape, a query, a blank.
    const QString original = ProgramFolder();
    const QString odd = File(QStringLiteral("Velanto #2 100%20 ?x/"));
    ASSERT_TRUE(QDir().mkpath(odd));
    ASSERT_TRUE(
        QFile::copy(original + QStringLiteral("Template2.jpg"), odd + QStringLiteral("Template2.jpg")));
    SetProgramFolderForTesting(odd);
    auto seen = WhenShown<TemplateForm>([](TemplateForm* form) { Fill(form, 1); });
    ShowTemplateForm(nullptr, editor);
    SetProgramFolderForTesting(original);
    EXPECT_TRUE(*seen);
    const QString src = Eval(QStringLiteral("document.querySelector('img').getAttribute('src')")).toString();
    EXPECT_EQ(QUrl(src).toLocalFile(), odd + QStringLiteral("Template2.jpg")) << src.toStdString();
    EXPECT_TRUE(WaitForLoadedPicture()) << src.toStdString();
}

TEST_F(TemplateDialog, ModifiedDocumentAsksToSaveFirst) {
    // Cancel: the dialog stays open and the document stays as it is.
    Load("<html><body><p>draft one</p></body></html>", QStringLiteral("draft.htm"));
    Modify();
    auto seen = WhenShown<TemplateForm>([this](TemplateForm* form) {
        boxes.answer(QMessageBox::Cancel);
        Fill(form, 0);
        EXPECT_TRUE(form->isVisible());
    });
    ShowTemplateForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.last(), QStringLiteral("Do you want to save the changes?"));
    EXPECT_EQ(boxes.seen()[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_TRUE(editor->DOM().bodyOuterText().contains(QStringLiteral("typed")));
    EXPECT_EQ(editor->CurrentDocumentPath(), File(QStringLiteral("draft.htm")));

    // Yes with a file of its own: saved there without a dialog, then replaced.
    seen = WhenShown<TemplateForm>([this](TemplateForm* form) {
        boxes.answer(QMessageBox::Yes);
        Fill(form, 2);
    });
    {
        testenv::FileDialogAnswers files;
        ShowTemplateForm(nullptr, editor);
        EXPECT_TRUE(files.seen().empty());
    }
    EXPECT_TRUE(*seen);
    EXPECT_TRUE(testenv::ReadFile(File(QStringLiteral("draft.htm"))).contains("typed"));
    EXPECT_EQ(Title(), QStringLiteral("Legal Template"));

    // No: replaced, the changes lost.
    Load("<html><body><p>draft two</p></body></html>", QStringLiteral("draft2.htm"));
    Modify();
    seen = WhenShown<TemplateForm>([this](TemplateForm* form) {
        boxes.answer(QMessageBox::No);
        Fill(form, 3);
    });
    ShowTemplateForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_EQ(Title(), QStringLiteral("Sports Template"));
    EXPECT_FALSE(testenv::ReadFile(File(QStringLiteral("draft2.htm"))).contains("typed"));
}

TEST_F(TemplateDialog, UntitledDocumentGoesThroughTheSaveDialog) {
    editor->NewDocument();
    Modify();
    // A cancelled save dialog keeps the dialog open and nothing is replaced.
    auto seen = WhenShown<TemplateForm>([this](TemplateForm* form) {
        boxes.answer(QMessageBox::Yes);
        testenv::FileDialogAnswers files;
        files.answer(QString());
        Fill(form, 4);
        ASSERT_EQ(files.seen().size(), 1u);
        EXPECT_EQ(files.seen()[0].title, QStringLiteral("Save"));
        EXPECT_TRUE(form->isVisible());
    });
    ShowTemplateForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_TRUE(editor->DOM().bodyOuterText().contains(QStringLiteral("typed")));

    // A save that fails is reported and stops the template: nothing of the document is lost.
    const QString unwritable = File(QStringLiteral("no such folder/saved.htm"));
    seen = WhenShown<TemplateForm>([this, unwritable](TemplateForm* form) {
        boxes.answer(QMessageBox::Yes);
        testenv::FileDialogAnswers files;
        files.answer(unwritable);
        Fill(form, 4);
        EXPECT_TRUE(form->isVisible());
    });
    ShowTemplateForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_TRUE(boxes.last().startsWith(QStringLiteral("The document could not be saved to")))
        << boxes.last().toStdString();
    EXPECT_TRUE(editor->DOM().bodyOuterText().contains(QStringLiteral("typed")));
    EXPECT_TRUE(editor->IsDirty());

    const QString target = File(QStringLiteral("saved.htm"));
    seen = WhenShown<TemplateForm>([this, target](TemplateForm* form) {
        boxes.answer(QMessageBox::Yes);
        testenv::FileDialogAnswers files;
        files.answer(target);
        Fill(form, 4);
    });
    ShowTemplateForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_TRUE(testenv::ReadFile(target).contains("typed"));
    EXPECT_EQ(Title(), QStringLiteral("Travel Template"));
    EXPECT_EQ(editor->CurrentDocumentPath(), QString());
}

TEST_F(TemplateDialog, FilledTemplateArrivesWithItsPicturesAndNoPlaceholder) {
    smtptest::PythonPeer peer({});
    ASSERT_TRUE(peer.ok());
    auto seen = WhenShown<TemplateForm>([](TemplateForm* form) { Fill(form, 3); });
    ShowTemplateForm(nullptr, editor);
    ASSERT_TRUE(*seen);

    // What the send run does with the document: save it as the body file, import it with its local
    // pictures, replace the merge macros and send.
    const QString body = TempFolder() + QStringLiteral("Preview.htm");
    ASSERT_TRUE(editor->SaveDocument(body));
    mail::Smtp smtp;
    smtp.SetTimeouts(5000, 5000, 10000);
    smtp.SetMailServer(QStringLiteral("127.0.0.1"));
    smtp.SetPort(peer.port());
    smtp.SetFromAddress(QStringLiteral("sender@acme.test"));
    smtp.AddRecipient(QStringLiteral("Jo"), QStringLiteral("jo@example.test"), mail::RecipientKind::To);
    smtp.SetSubject(QStringLiteral("Sports news"));
    smtp.SetBodyFormat(1);
    ASSERT_EQ(smtp.ImportBodyFile(body, mail::ImportHtmlOnly), 0);
    const struct {
        const char* macro;
        const char* value;
    } merge[] = {{"$*MergeTitle*$", "Ms"},
                 {"$*MergeFirstName*$", "Jo"},
                 {"$*MergeLastName*$", "Rivers"},
                 {"$*MergeEmail*$", "jo@example.test"},
                 {"$*MergeIPAddress*$", "192.0.2.7"},
                 {"$*MergeCompany*$", "Rivers Ltd"}};
    for (const auto& m : merge)
        smtp.ReplaceMergeField(QString::fromLatin1(m.macro), QString::fromLatin1(m.value), 1);
    ASSERT_EQ(smtp.Send(), 0);

    const QList<QByteArray> messages = peer.messages();
    ASSERT_EQ(messages.size(), 1);
    const QJsonObject summary = mimetest::PythonSummary(messages.first());
    QString html;
    QStringList pictureIds;
    for (const QJsonObject& leaf : mimetest::PythonLeaves(summary)) {
        const QString type = leaf.value(QStringLiteral("type")).toString();
        if (type == QLatin1String("text/html"))
            html = leaf.value(QStringLiteral("text")).toString();
        if (type == QLatin1String("image/jpeg")) {
            pictureIds << leaf.value(QStringLiteral("cid")).toString();
            EXPECT_EQ(mimetest::LeafBytes(leaf),
                      testenv::ReadFile(ProgramFolder() + QStringLiteral("Template4.jpg")));
        }
    }
    ASSERT_EQ(pictureIds.size(), 1);
    const QString cid = pictureIds.first().mid(1).chopped(1); // without the angle brackets
    EXPECT_TRUE(html.contains(QStringLiteral("src=\"cid:") + cid + QLatin1Char('"'))) << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral(":: Ms Jo Rivers ::")));
    EXPECT_TRUE(html.contains(QStringLiteral("IP Address: 192.0.2.7")));
    EXPECT_TRUE(html.contains(QStringLiteral("mailto:leave@acme.test?subject=REMOVE%20ME")));
    for (const char* gone : {"$*Merge", "TorvaleCo", "UnsubscribeNow", ".invalid", "Template4.jpg"})
        EXPECT_FALSE(html.contains(QLatin1String(gone))) << gone;
}
