// The engine's own processes behind the editor: a render process that dies takes nothing of the user's
// work with it, and printing to a PDF file goes through the engine's PDF output.
#include "tests/editor/EditorFixture.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"

#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <csignal>

using namespace editortest;

namespace {

class EditorProcessTest : public HtmlEditorTest {
protected:
    static qint64 RenderProcess() {
        auto* view = editor->findChild<QWebEngineView*>();
        return view ? view->page()->renderProcessPid() : 0;
    }
    // Ends the render process as the system does when memory runs out.
    static void KillRenderProcess() {
        const qint64 pid = RenderProcess();
        ASSERT_GT(pid, 0);
        ASSERT_EQ(::kill(pid_t(pid), SIGKILL), 0);
    }
    static bool PictureShown() {
        return editor
                   ->EvaluateScript(
                       QStringLiteral("document.images.length ? document.images[0].naturalWidth : 0"))
                   .toInt() == 6;
    }
};

struct PdfWord {
    QString text;
    double x = 0;
    double y = 0;
};

// The words of a PDF file with their positions in points, read back by pdftotext; pages counted too.
std::vector<PdfWord> PdfWords(const QString& path, int* pages) {
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
        return {};
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());
    *pages = int(out.count(QStringLiteral("<page ")));
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    std::vector<PdfWord> words;
    for (auto it = word.globalMatch(out); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        words.push_back({m.captured(3), m.captured(1).toDouble(), m.captured(2).toDouble()});
    }
    return words;
}

TEST_F(EditorProcessTest, AKilledRenderProcessIsFollowedByAMessageAndTheDocumentBack) {
    testenv::MessageBoxRecorder boxes;
    QImage picture(6, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(File(QStringLiteral("pic.png"))));
    Load("<html><head><title>Kept</title></head><body><p id=\"a\">Hello</p><img "
         "src=\"pic.png\"></body></html>",
         QStringLiteral("kept.htm"));

    // Unchanged: the file's document comes back, still unmodified.
    KillRenderProcess();
    ASSERT_TRUE(WaitUntil([&boxes] { return boxes.seen().size() == 1; }, 30000));
    EXPECT_EQ(boxes.seen().front().icon, QMessageBox::Warning);
    EXPECT_EQ(editor->DOM().bodyOuterText().trimmed(), QStringLiteral("Hello"));
    EXPECT_FALSE(editor->IsDirty());
    EXPECT_EQ(editor->CurrentDocumentPath(), File(QStringLiteral("kept.htm")));
    EXPECT_TRUE(WaitUntil(PictureShown));

    // Changed: the changes come back, and the document still counts as modified.
    Select("a", 5, 5);
    editor->DOM().pasteHTML(QStringLiteral("<b>, world</b>"));
    editor->DOM().setTitle(QStringLiteral("Changed"));
    ASSERT_TRUE(editor->IsDirty());
    ASSERT_EQ(editor->DOM().title().toStdString(), "Changed");
    KillRenderProcess();
    ASSERT_TRUE(WaitUntil([&boxes] { return boxes.seen().size() == 2; }, 30000));
    EXPECT_EQ(editor->DOM().bodyOuterText().trimmed().toStdString(), "Hello, world");
    EXPECT_EQ(editor->DOM().title().toStdString(), "Changed");
    EXPECT_TRUE(editor->IsDirty());
    EXPECT_EQ(editor->CurrentDocumentPath(), File(QStringLiteral("kept.htm")));
    EXPECT_TRUE(WaitUntil(PictureShown));

    // The editor works on as before, and a save writes what came back.
    editor->DOM().pasteHTML(QStringLiteral("<i>after</i>"));
    ASSERT_TRUE(editor->SaveDocument(File(QStringLiteral("saved.htm"))));
    const QByteArray saved = ReadAll(File(QStringLiteral("saved.htm")));
    EXPECT_TRUE(saved.contains("Hello<b>, world</b>")) << saved.constData();
    EXPECT_TRUE(saved.contains("<i>after</i>")) << saved.constData();
    EXPECT_FALSE(editor->IsDirty());
    EXPECT_EQ(boxes.seen().size(), 2u);
}

TEST_F(EditorProcessTest, APdfFilePrinterGetsTheTextAsTextWithinTheMargins) {
    Load("<html><body style=\"margin:0\"><p>Spring offer for every reader</p>"
         "<p style=\"break-before: page\">Second page</p></body></html>");
    QPrinter& printer = HtmlEditor::CurrentPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(File(QStringLiteral("printed.pdf")));
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(30, 40, 20, 25), QPageLayout::Millimeter));
    ASSERT_TRUE(editor->PrintDocument(0));
    ASSERT_TRUE(ReadAll(File(QStringLiteral("printed.pdf"))).startsWith("%PDF"));

    int pages = 0;
    const std::vector<PdfWord> words = PdfWords(File(QStringLiteral("printed.pdf")), &pages);
    EXPECT_EQ(pages, 2);
    QStringList text;
    for (const PdfWord& w : words)
        text << w.text;
    EXPECT_EQ(text.join(QLatin1Char(' ')), QStringLiteral("Spring offer for every reader Second page"));
    ASSERT_FALSE(words.empty());
    // 30 mm from the left and 40 mm from the top are 85 and 113 points; the body itself has no margin.
    EXPECT_GE(words.front().x, 84.0);
    EXPECT_LT(words.front().x, 100.0);
    EXPECT_GE(words.front().y, 112.0);
    EXPECT_LT(words.front().y, 150.0);

    // A file that cannot be written is a print that failed.
    printer.setOutputFileName(File(QStringLiteral("no such folder/printed.pdf")));
    EXPECT_FALSE(editor->PrintDocument(0));
}

} // namespace
