// The HTML editing control driven through its synchronous interface, on a real web engine.
#include "tests/editor/EditorFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QPrinter>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>
#include <memory>

using namespace editortest;

namespace {

TEST_F(HtmlEditorTest, SaveThenLoadRoundTripsTheDocument) {
    const QByteArray html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Spring offer</title></head>"
        "<body bgcolor=\"#ffffff\"><p>Dear {FirstName},</p><p>Caf\xC3\xA9 &amp; more \xE2\x82\xAC"
        "</p><table border=\"1\"><tbody><tr><td>a</td></tr></tbody></table></body></html>";
    Load(html);
    EXPECT_EQ(editor->CurrentDocumentPath(), File(QStringLiteral("doc.htm")));
    EXPECT_FALSE(editor->IsDirty());
    EXPECT_EQ(editor->DocumentHTML(), QString::fromUtf8(html));

    // Saving to a temporary file moves the document's path there.
    ASSERT_TRUE(editor->SaveDocument(File(QStringLiteral("Preview.htm"))));
    EXPECT_EQ(editor->CurrentDocumentPath(), File(QStringLiteral("Preview.htm")));
    EXPECT_EQ(ReadAll(File(QStringLiteral("Preview.htm"))), html);

    editor->NewDocument();
    EXPECT_TRUE(editor->CurrentDocumentPath().isEmpty());
    EXPECT_EQ(editor->DOM().bodyOuterText(), QString());
    ASSERT_TRUE(editor->LoadDocument(File(QStringLiteral("Preview.htm"))));
    EXPECT_EQ(editor->DocumentHTML(), QString::fromUtf8(html));

    // A file that cannot be read or written leaves everything as it was.
    EXPECT_FALSE(editor->LoadDocument(File(QStringLiteral("missing.htm"))));
    EXPECT_FALSE(editor->SaveDocument(File(QStringLiteral("no/such/folder/x.htm"))));
    EXPECT_EQ(editor->CurrentDocumentPath(), File(QStringLiteral("Preview.htm")));
    EXPECT_EQ(editor->DocumentHTML(), QString::fromUtf8(html));
}

// Larger than the 2 MB that setHtml and data URLs take: ten thousand paragraphs and a long comment.
// Laying text out costs the engine seconds per megabyte on a loaded machine and a comment next to
// nothing, so the load stays well inside its time-out of 30 s.
TEST_F(HtmlEditorTest, LargeDocumentsLoadSaveAndReplaceWhole) {
    QByteArray html = "<html><head><meta charset=\"utf-8\"></head><body>";
    for (int i = 0; i < 10000; ++i)
        html += "<p>Paragraph " + QByteArray::number(i) + " of the long letter \xC3\xA4\xC3\xB6\xC3\xBC</p>";
    html += "<!-- ";
    for (int i = 0; html.size() < 5 * 512 * 1024; ++i)
        html += "Line " + QByteArray::number(i) + " of the notes \xC3\xA4\xC3\xB6\xC3\xBC\n";
    html += " --><p id=\"last\">The end</p></body></html>";
    Load(html, QStringLiteral("big.htm"));
    ASSERT_TRUE(editor->SaveDocument(File(QStringLiteral("big-saved.htm"))));
    EXPECT_TRUE(ReadAll(File(QStringLiteral("big-saved.htm"))) == html);

    editor->NewDocument();
    editor->SetDocumentHTML(QString::fromUtf8(html));
    const QString back = editor->DocumentHTML();
    EXPECT_EQ(back.size(), QString::fromUtf8(html).size());
    EXPECT_TRUE(back == QString::fromUtf8(html));
}

TEST_F(HtmlEditorTest, FilesAreDecodedAndSavedAsUtf8) {
    // Declared Windows-1252: the declaration decides, and the saved copy says UTF-8.
    Load("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\"></head>"
         "<body><p>Caf\xE9 \x80</p></body></html>");
    EXPECT_EQ(editor->DOM().bodyOuterText(), QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC"));
    ASSERT_TRUE(editor->SaveDocument(File(QStringLiteral("saved.htm"))));
    const QByteArray saved = ReadAll(File(QStringLiteral("saved.htm")));
    EXPECT_TRUE(saved.contains("content=\"text/html; charset=utf-8\"")) << saved.constData();
    EXPECT_TRUE(saved.contains("Caf\xC3\xA9 \xE2\x82\xAC"));

    // Undeclared: valid UTF-8 is read as UTF-8, anything else as Windows-1252.
    Load("<p>na\xC3\xAFve</p>");
    EXPECT_EQ(editor->DOM().bodyOuterText(), QString::fromUtf8("na\xC3\xAFve"));
    Load("<p>na\xEFve</p>");
    EXPECT_EQ(editor->DOM().bodyOuterText(), QString::fromUtf8("na\xC3\xAFve"));
    // A document without any declaration gets one with its save.
    ASSERT_TRUE(editor->SaveDocument(File(QStringLiteral("saved.htm"))));
    EXPECT_TRUE(ReadAll(File(QStringLiteral("saved.htm"))).contains("charset=utf-8"));
}

TEST_F(HtmlEditorTest, AFileThatIsNotTextIsRefusedAndTheEditorStaysResponsive) {
    Load("<p id=\"kept\">kept</p>", QStringLiteral("kept.htm"));
    // A binary file of a few megabytes, such as a picture or a PDF chosen under "All Files".
    QByteArray binary = "\x89PNG\r\n\x1A\n";
    quint32 seed = 3;
    while (binary.size() < 2 * 1024 * 1024) {
        seed = seed * 1103515245u + 12345u;
        binary += char(seed >> 24);
    }
    WriteAll(File(QStringLiteral("picture.png")), binary);
    // Refused before the engine sees it: the page starts no load that could keep it busy.
    QSignalSpy loads(editor->findChild<QWebEngineView*>()->page(), &QWebEnginePage::loadStarted);
    EXPECT_FALSE(editor->LoadDocument(File(QStringLiteral("picture.png"))));
    EXPECT_EQ(loads.count(), 0);
    EXPECT_EQ(editor->DOM().bodyOuterText(), QStringLiteral("kept"));
    EXPECT_EQ(editor->CurrentDocumentPath(), File(QStringLiteral("kept.htm")));
    EXPECT_FALSE(editor->IsDirty());

    // UTF-16 with its mark holds zero bytes and is still a document.
    const QString text = QStringLiteral("<html><body><p>Gr\u00FC\u00DFe \u20AC</p></body></html>");
    QStringEncoder encoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const QByteArray utf16 = encoder.encode(text);
    Load(utf16, QStringLiteral("utf16.htm"));
    EXPECT_EQ(editor->DOM().bodyOuterText(), QStringLiteral("Gr\u00FC\u00DFe \u20AC"));
}

TEST_F(HtmlEditorTest, FormattingCommandsActOnTheSelection) {
    Load("<html><body><p id=\"a\">Hello world</p><p id=\"b\">second line</p></body></html>");
    Select("a", 6, 11);
    editor->ExecCommand(EditCommand::Bold);
    EXPECT_EQ(editor->DOM().selectionText(), QStringLiteral("world"));
    EXPECT_TRUE(Body().contains(QStringLiteral("Hello <b>world</b>"))) << Body().toStdString();
    editor->ExecCommand(EditCommand::Italic);
    editor->ExecCommand(EditCommand::Underline);
    EXPECT_TRUE(Body().contains(QStringLiteral("<u>world</u>"))) << Body().toStdString();
    EXPECT_TRUE(Body().contains(QStringLiteral("<i>"))) << Body().toStdString();
    editor->ExecCommand(EditCommand::RemoveFormat);
    EXPECT_TRUE(Body().contains(QStringLiteral("Hello world"))) << Body().toStdString();

    Select("b", 0, 6);
    editor->ExecCommand(EditCommand::UnorderList);
    EXPECT_TRUE(Body().contains(QStringLiteral("<ul><li>second line</li></ul>"))) << Body().toStdString();
    editor->ExecCommand(EditCommand::OrderList);
    EXPECT_TRUE(Body().contains(QStringLiteral("<ol><li>second line</li></ol>"))) << Body().toStdString();
    editor->ExecCommand(EditCommand::Undo);
    EXPECT_TRUE(Body().contains(QStringLiteral("<ul>"))) << Body().toStdString();
    editor->ExecCommand(EditCommand::Redo);
    EXPECT_TRUE(Body().contains(QStringLiteral("<ol>"))) << Body().toStdString();

    Select("a", 0, 5);
    editor->ExecCommand(EditCommand::JustifyCenter);
    EXPECT_TRUE(Body().contains(QStringLiteral("text-align: center"))) << Body().toStdString();
}

TEST_F(HtmlEditorTest, DialogCommandsApplyWhatTheDialogCollected) {
    Load("<html><body><p id=\"a\">Visit our shop today</p></body></html>");
    {
        DialogAnswer answer(
            [](EditorDialogValues& v) { v.url = QStringLiteral("https://example.com/shop?a=1&b=2"); });
        Select("a", 10, 14);
        editor->ExecCommand(EditCommand::Hyperlink, ExecOption::PromptUser);
        ASSERT_EQ(answer.kinds.size(), 1u);
        EXPECT_EQ(answer.kinds[0], EditorDialogKind::Hyperlink);
    }
    EXPECT_TRUE(Body().contains(
        QStringLiteral("our <a href=\"https://example.com/shop?a=1&amp;b=2\">shop</a> today")))
        << Body().toStdString();
    {
        // The dialog opens on the link under the selection.
        QString offered;
        DialogAnswer answer([&offered](EditorDialogValues& v) {
            offered = v.url;
            v.url.clear();
        });
        editor->ExecCommand(EditCommand::Hyperlink, ExecOption::PromptUser);
        EXPECT_EQ(offered, QStringLiteral("https://example.com/shop?a=1&b=2"));
    }
    editor->ExecCommand(EditCommand::Unlink);
    EXPECT_FALSE(Body().contains(QStringLiteral("<a "))) << Body().toStdString();

    {
        DialogAnswer answer([](EditorDialogValues& v) {
            v.fontFace = QStringLiteral("Verdana");
            v.fontSize = 5;
            v.fontColor = QStringLiteral("#cc0000");
        });
        Select("a", 0, 5);
        editor->ExecCommand(EditCommand::Font, ExecOption::PromptUser);
    }
    const QString body = Body();
    EXPECT_TRUE(body.contains(QStringLiteral("face=\"Verdana\""))) << body.toStdString();
    EXPECT_TRUE(body.contains(QStringLiteral("size=\"5\""))) << body.toStdString();
    EXPECT_TRUE(body.contains(QStringLiteral("color=\"#cc0000\""))) << body.toStdString();

    {
        DialogAnswer answer([](EditorDialogValues& v) {
            v.findText = QStringLiteral("TODAY");
            v.matchCase = false;
        });
        editor->ExecCommand(EditCommand::Find);
    }
    EXPECT_EQ(editor->DOM().selectionText(), QStringLiteral("today"));

    // The picture goes in place of the selection, as a file address with its alternative text.
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(File(QStringLiteral("logo one.png"))));
    {
        DialogAnswer answer([this](EditorDialogValues& v) {
            v.picturePath = File(QStringLiteral("logo one.png"));
            v.altText = QStringLiteral("Our \"logo\"");
        });
        editor->ExecCommand(EditCommand::Image, ExecOption::PromptUser);
    }
    EXPECT_TRUE(Body().contains(QStringLiteral("logo%20one.png\" alt=\"Our &quot;logo&quot;\"")))
        << Body().toStdString();
    EXPECT_FALSE(Body().contains(QStringLiteral("today"))) << Body().toStdString();
    EXPECT_TRUE(WaitUntil([] {
        return editor->EvaluateScript(QStringLiteral("document.images[0].naturalWidth")).toInt() == 4;
    }));
    EXPECT_TRUE(editor->IsDirty());
}

TEST_F(HtmlEditorTest, CancelledDialogsChangeNothing) {
    Load("<html><body><p id=\"a\">Plain text</p></body></html>");
    const QString before = editor->DocumentHTML();
    SetEditorDialogHook([](EditorDialogKind, EditorDialogValues& v) {
        v.url = QStringLiteral("http://example.com/");
        v.fontFace = QStringLiteral("Arial");
        v.picturePath = QStringLiteral("/nonexistent.png");
        return false;
    });
    Select("a", 0, 5);
    for (int command : {EditCommand::Hyperlink, EditCommand::Font, EditCommand::Image, EditCommand::Find})
        editor->ExecCommand(command, ExecOption::PromptUser);
    SetEditorDialogHook({});
    EXPECT_EQ(editor->DocumentHTML(), before);
    EXPECT_EQ(editor->DOM().selectionText(), QStringLiteral("Plain"));
    EXPECT_FALSE(editor->IsDirty());
}

TEST_F(HtmlEditorTest, PasteHtmlGoesToTheCaretOrReplacesTheSelection) {
    // Never focused, nothing selected: the end of the body.
    Load("<html><body><p id=\"a\">first</p><p id=\"b\">second</p></body></html>");
    editor->DOM().pasteHTML(QStringLiteral("<hr id=\"line\">"));
    EXPECT_TRUE(Body().endsWith(QStringLiteral("<hr id=\"line\">"))) << Body().toStdString();

    Select("a", 2, 2);
    editor->DOM().pasteHTML(QStringLiteral("<b>XY</b>"));
    EXPECT_TRUE(Body().contains(QStringLiteral("fi<b>XY</b>rst"))) << Body().toStdString();

    Select("b", 0, 6);
    editor->DOM().pasteHTML(QStringLiteral("<i>replaced</i>"));
    EXPECT_FALSE(Body().contains(QStringLiteral("second"))) << Body().toStdString();
    EXPECT_TRUE(Body().contains(QStringLiteral("<i>replaced</i>"))) << Body().toStdString();
    EXPECT_TRUE(editor->IsDirty());

    // An empty new document takes the paste too.
    editor->NewDocument();
    editor->DOM().pasteHTML(QStringLiteral("<p>Kind regards</p>"));
    EXPECT_EQ(editor->DOM().bodyOuterText().trimmed(), QStringLiteral("Kind regards"));
}

TEST_F(HtmlEditorTest, PageColoursReadAndWrite) {
    Load("<html><body bgcolor=\"White\" text=\"#123\" link=\"0000ff\"><p>x</p></body></html>");
    HtmlDocument& dom = editor->DOM();
    EXPECT_EQ(dom.bgColor(), QStringLiteral("#ffffff"));
    EXPECT_EQ(dom.fgColor(), QStringLiteral("#112233"));
    EXPECT_EQ(dom.linkColor(), QStringLiteral("#0000ff"));
    EXPECT_EQ(dom.vlinkColor(), QString());
    EXPECT_EQ(dom.alinkColor(), QString());
    EXPECT_FALSE(editor->IsDirty());

    // Writing the colours a document already has is no change.
    dom.setBgColor(QStringLiteral("White"));
    EXPECT_FALSE(editor->IsDirty());

    dom.setBgColor(QStringLiteral("#FFFFCC"));
    dom.setFgColor(QStringLiteral("#000000"));
    dom.setLinkColor(QStringLiteral("#0000ee"));
    dom.setVlinkColor(QStringLiteral("#551a8b"));
    dom.setAlinkColor(QStringLiteral("#ff0000"));
    EXPECT_TRUE(editor->IsDirty());
    EXPECT_EQ(dom.bgColor(), QStringLiteral("#ffffcc"));
    EXPECT_EQ(dom.vlinkColor(), QStringLiteral("#551a8b"));
    ASSERT_TRUE(editor->SaveDocument(File(QStringLiteral("colours.htm"))));
    ASSERT_TRUE(editor->LoadDocument(File(QStringLiteral("colours.htm"))));
    EXPECT_EQ(dom.fgColor(), QStringLiteral("#000000"));
    EXPECT_EQ(dom.linkColor(), QStringLiteral("#0000ee"));
    EXPECT_EQ(dom.alinkColor(), QStringLiteral("#ff0000"));
    EXPECT_TRUE(editor->DocumentHTML().contains(QStringLiteral("vlink=\"#551a8b\"")));

    // An empty colour takes the document's own away.
    dom.setAlinkColor(QString());
    EXPECT_EQ(dom.alinkColor(), QString());
    EXPECT_FALSE(editor->DocumentHTML().contains(QStringLiteral("alink")));
}

TEST_F(HtmlEditorTest, DirtyFollowsEditsSavesAndLoads) {
    Load("<html><body><p id=\"a\">Hello</p></body></html>");
    QSignalSpy changed(editor, &HtmlEditor::DocumentChanged);
    EXPECT_FALSE(editor->IsDirty());

    // Typing, as the user does it.
    editor->show();
    QWebEngineView* view = editor->findChild<QWebEngineView*>();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(WaitUntil([view] { return view->focusProxy() != nullptr; }));
    QApplication::setActiveWindow(editor);
    view->setFocus();
    editor->EvaluateScript(QStringLiteral("document.body.focus()"));
    Select("a", 5, 5);
    QTest::keyClicks(view->focusProxy(), QStringLiteral("abc"));
    EXPECT_TRUE(WaitUntil([&changed] { return changed.count() == 1; }));
    EXPECT_TRUE(editor->IsDirty());
    EXPECT_TRUE(editor->DOM().bodyOuterText().startsWith(QStringLiteral("Helloabc")));
    EXPECT_EQ(changed.count(), 1); // only the first change is announced

    ASSERT_TRUE(editor->SaveDocument(File(QStringLiteral("typed.htm"))));
    EXPECT_FALSE(editor->IsDirty());
    QTest::keyClicks(view->focusProxy(), QStringLiteral("d"));
    EXPECT_TRUE(WaitUntil([] { return editor->IsDirty(); }));
    EXPECT_EQ(changed.count(), 2);
    editor->hide();

    ASSERT_TRUE(editor->LoadDocument(File(QStringLiteral("typed.htm"))));
    EXPECT_FALSE(editor->IsDirty());
    editor->ExecCommand(EditCommand::SelectAll);
    editor->ExecCommand(EditCommand::Copy);
    EXPECT_FALSE(editor->IsDirty());
    editor->ExecCommand(EditCommand::Bold);
    EXPECT_TRUE(editor->IsDirty());
    editor->NewDocument();
    EXPECT_FALSE(editor->IsDirty());
    // Replacing the whole document is a change the user has not saved.
    editor->SetDocumentHTML(QStringLiteral("<p>Signature</p>"));
    EXPECT_TRUE(editor->IsDirty());
    EXPECT_TRUE(editor->CurrentDocumentPath().isEmpty());

    // A copy written for the program's own use is not the user's save: mark and path stay.
    ASSERT_TRUE(editor->SaveCopy(File(QStringLiteral("copy.htm"))));
    EXPECT_TRUE(editor->IsDirty());
    EXPECT_TRUE(editor->CurrentDocumentPath().isEmpty());
    EXPECT_TRUE(ReadAll(File(QStringLiteral("copy.htm"))).contains("Signature"));
    EXPECT_FALSE(editor->SaveCopy(File(QStringLiteral("no folder/copy.htm"))));

    // A new document that starts with given content (the signature) starts unmodified and untitled.
    ASSERT_TRUE(editor->LoadDocument(File(QStringLiteral("typed.htm"))));
    editor->NewDocumentFrom(QStringLiteral("<p>Kind regards</p>"));
    EXPECT_FALSE(editor->IsDirty());
    EXPECT_TRUE(editor->CurrentDocumentPath().isEmpty());
    EXPECT_EQ(editor->DOM().bodyOuterText().trimmed(), QStringLiteral("Kind regards"));
}

TEST_F(HtmlEditorTest, ClipboardCommandsMoveTheSelection) {
    Load("<html><body><p id=\"a\">one two</p></body></html>");
    Select("a", 3, 7);
    editor->ExecCommand(EditCommand::Cut);
    EXPECT_EQ(editor->DOM().bodyOuterText().trimmed(), QStringLiteral("one"));
    editor->ExecCommand(EditCommand::Paste);
    EXPECT_EQ(editor->DOM().bodyOuterText().trimmed(), QStringLiteral("one two"));
    Select("a", 0, 4);
    editor->ExecCommand(EditCommand::Delete);
    EXPECT_EQ(editor->DOM().bodyOuterText().trimmed(), QStringLiteral("two"));
}

TEST_F(HtmlEditorTest, TitleAndBodyText) {
    Load(
        "<html><head><title>Offer</title></head><body><p>Line one</p><p>Line two<br>three</p></body></html>");
    EXPECT_EQ(editor->DOM().title(), QStringLiteral("Offer"));
    EXPECT_EQ(editor->DOM().bodyOuterText(), QStringLiteral("Line one\r\n\r\nLine two\r\nthree"));
    editor->DOM().setTitle(QStringLiteral("New & better"));
    EXPECT_EQ(editor->DOM().title(), QStringLiteral("New & better"));
    EXPECT_TRUE(editor->DocumentHTML().contains(QStringLiteral("<title>New &amp; better</title>")));
    editor->NewDocument();
    EXPECT_EQ(editor->DOM().title(), QString());
}

TEST_F(HtmlEditorTest, PageScriptsNeverRunAndNothingIsFetched) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        ++connections;
        delete server.nextPendingConnection();
    });
    const QByteArray remote = "http://127.0.0.1:" + QByteArray::number(server.serverPort());
    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(File(QStringLiteral("local.png"))));
    Load("<html><head><title>quiet</title><link rel=\"stylesheet\" href=\"" + remote +
         "/style.css\">"
         "<script>document.title = 'ran';</script></head>"
         "<body onload=\"document.title = 'loaded'\"><img id=\"remote\" src=\"" +
         remote +
         "/pixel.png\">"
         "<img id=\"local\" src=\"local.png\"><iframe src=\"" +
         remote + "/frame\"></iframe></body></html>");
    // The document is complete once everything it asks for has been answered or refused: a fetch would
    // have reached the server by then, and the scripts would have run.
    ASSERT_TRUE(WaitUntil([] {
        return editor->EvaluateScript(QStringLiteral("document.readyState")).toString() ==
               QStringLiteral("complete");
    }));
    EXPECT_EQ(editor->DOM().title(), QStringLiteral("quiet"));
    EXPECT_EQ(connections, 0);
    // Relative references still find the document's own files.
    EXPECT_TRUE(WaitUntil([] {
        return editor->EvaluateScript(QStringLiteral("document.getElementById('local').naturalWidth"))
                   .toInt() == 7;
    }));
    EXPECT_EQ(
        editor->EvaluateScript(QStringLiteral("document.getElementById('remote').naturalWidth")).toInt(), 0);
    // The editor's own calls run whatever the page says.
    EXPECT_EQ(editor->EvaluateScript(QStringLiteral("6 * 7")).toInt(), 42);
}

TEST_F(HtmlEditorTest, ContextMenuShowsTheOwnersItems) {
    Load("<html><body><p>menu</p></body></html>");
    const QStringList captions = {QStringLiteral("Undo"), QString(), QStringLiteral("Cut"),
                                  QStringLiteral("Copy")};
    QObject::connect(editor, &HtmlEditor::ShowContextMenu, editor, [captions] {
        editor->SetContextMenu(captions, {0, 0, 1, 0});
    });
    QSignalSpy asked(editor, &HtmlEditor::ShowContextMenu);
    QSignalSpy chosen(editor, &HtmlEditor::ContextMenuAction);
    QStringList shown;
    QList<bool> enabled;
    // The menu runs its own loop: a timer answers it once it is up.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        answer.stop();
        for (QAction* action : menu->actions()) {
            shown << (action->isSeparator() ? QStringLiteral("|") : action->text());
            enabled << action->isEnabled();
        }
        menu->setActiveAction(menu->actions().at(3));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    answer.start(20);
    editor->show();
    QWebEngineView* view = editor->findChild<QWebEngineView*>();
    ASSERT_TRUE(WaitUntil([view] { return view->focusProxy() != nullptr; }));
    QTest::mouseClick(view->focusProxy(), Qt::RightButton, {}, QPoint(20, 10));
    EXPECT_TRUE(WaitUntil([&chosen] { return chosen.count() == 1; }));
    answer.stop();
    editor->hide();
    QObject::disconnect(editor, &HtmlEditor::ShowContextMenu, editor, nullptr);
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.at(0).at(0).toPoint(), QPoint(20, 10));
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Undo"), QStringLiteral("|"), QStringLiteral("Cut"),
                                  QStringLiteral("Copy")}));
    EXPECT_EQ(enabled, (QList<bool>{true, true, false, true}));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 3);
}

// The owner runs the chosen item's command on the editor at once; that must not wait for the menu's
// own click to be finished with (the window froze for the whole call time-out).
TEST_F(HtmlEditorTest, AChosenContextMenuItemRunsItsCommandAtOnce) {
    Load("<html><body><p>menu</p></body></html>");
    QObject::connect(editor, &HtmlEditor::ShowContextMenu, editor,
                     [] { editor->SetContextMenu({QStringLiteral("Select All")}, {}); });
    qint64 took = -1;
    QObject::connect(editor, &HtmlEditor::ContextMenuAction, editor, [&took] {
        QElapsedTimer clock;
        clock.start();
        editor->ExecCommand(EditCommand::SelectAll);
        took = clock.elapsed();
    });
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            answer.stop();
            menu->setActiveAction(menu->actions().at(0));
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    answer.start(20);
    editor->show();
    QWebEngineView* view = editor->findChild<QWebEngineView*>();
    ASSERT_TRUE(WaitUntil([view] { return view->focusProxy() != nullptr; }));
    QTest::mouseClick(view->focusProxy(), Qt::RightButton, {}, QPoint(20, 10));
    EXPECT_TRUE(WaitUntil([&took] { return took >= 0; }, 15000));
    answer.stop();
    editor->hide();
    QObject::disconnect(editor, &HtmlEditor::ShowContextMenu, editor, nullptr);
    QObject::disconnect(editor, &HtmlEditor::ContextMenuAction, editor, nullptr);
    // A command that waits for the menu's click to be finished with ends only at the editor's call
    // time-out of 10 s; at once is some milliseconds.
    EXPECT_LT(took, 5000);
    EXPECT_EQ(editor->DOM().selectionText(), QStringLiteral("menu"));
}

TEST_F(HtmlEditorTest, DisplayOptionsAreNeverPartOfTheDocument) {
    Load("<html><body><table id=\"t\"><tbody><tr><td id=\"c\">cell</td></tr></tbody></table></body></html>");
    const QString outline = QStringLiteral("getComputedStyle(document.getElementById('c')).outlineStyle");
    editor->SetDisplayOptions(true, true);
    EXPECT_EQ(editor->EvaluateScript(outline).toString(), QStringLiteral("dotted"));
    editor->SetDisplayOptions(false, false);
    EXPECT_EQ(editor->EvaluateScript(outline).toString(), QStringLiteral("none"));
    // The choice holds for the documents loaded afterwards.
    ASSERT_TRUE(editor->SaveDocument(File(QStringLiteral("table.htm"))));
    ASSERT_TRUE(editor->LoadDocument(File(QStringLiteral("table.htm"))));
    EXPECT_EQ(editor->EvaluateScript(outline).toString(), QStringLiteral("none"));
    EXPECT_FALSE(editor->DocumentHTML().contains(QStringLiteral("outline")));
    editor->SetDisplayOptions(true, true);
}

} // namespace
