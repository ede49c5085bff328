// What the composer puts into the document through the editor's paste: each insert lands once, wherever
// the caret stands, and one undo takes it out again.
#include "tests/editor/EditorFixture.h"

using namespace editortest;

namespace {

class EditorInsertTest : public HtmlEditorTest {
protected:
    // The caret after `offset` characters of the element's text, or inside the element when it has none.
    static void Caret(const char* id, int offset) {
        const QString script =
            QStringLiteral("(function(){const e=document.getElementById('%1');"
                           "const n=(e.firstChild&&e.firstChild.nodeType===3)?e.firstChild:e;"
                           "const r=document.createRange();r.setStart(n,%2);r.collapse(true);"
                           "const s=getSelection();s.removeAllRanges();s.addRange(r);return true;})()")
                .arg(QLatin1String(id))
                .arg(offset);
        ASSERT_TRUE(editor->EvaluateScript(script).toBool());
    }
    static int Count(const char* selector) {
        return editor
            ->EvaluateScript(
                QStringLiteral("document.querySelectorAll('%1').length").arg(QLatin1String(selector)))
            .toInt();
    }
};

// The markup the table dialog hands over: tags in capitals, one per line, a bare percent width.
QString TableMarkup() {
    QString html = QStringLiteral("<Table align=\"Left\" cellspacing=\"1\" cellpadding=\"1\" border=\"1\" "
                                  "width=100%>\r\n");
    for (int r = 0; r < 3; ++r) {
        html += QStringLiteral("   <TR>\r\n");
        for (int c = 0; c < 3; ++c)
            html += QStringLiteral("      <TD>&nbsp;</TD>\r\n");
        html += QStringLiteral("   </TR>\r\n");
    }
    return html + QStringLiteral("</Table>\r\n");
}

TEST_F(EditorInsertTest, EveryInsertLandsOnceAndOneUndoTakesItOut) {
    struct Place {
        const char* what;
        const char* html; // empty: a new document
        const char* id;   // null: the caret is left to the editor
        int offset;
    };
    const Place places[] = {
        {"new document", "", nullptr, 0},
        {"empty line", "<html><body><p>Dear all,</p><p id=\"e\"><br></p></body></html>", "e", 0},
        {"end of text", "<html><body><p id=\"t\">Some text</p></body></html>", "t", 9},
        {"inside text", "<html><body><p id=\"t\">Some text</p></body></html>", "t", 4},
    };
    struct Insert {
        const char* what;
        QString html;
        const char* selector; // what it adds, or null for plain text
    };
    const Insert inserts[] = {
        {"table", TableMarkup(), "table"},
        {"line", QStringLiteral("<hr width=\"50%\" size=\"4\">"), "hr"},
        {"date and time", QStringLiteral("Tuesday, March 05, 2024 - 14:07:09"), nullptr},
        {"merge macro", QStringLiteral("$*MergeFirstName*$"), nullptr},
    };
    for (const Place& place : places) {
        for (const Insert& insert : inserts) {
            const std::string label = std::string(insert.what) + " at " + place.what;
            if (*place.html)
                Load(place.html);
            else
                editor->NewDocument();
            if (place.id)
                Caret(place.id, place.offset);
            const QString textBefore = editor->DOM().bodyOuterText();
            auto occurrences = [&insert] {
                return insert.selector ? Count(insert.selector)
                                       : int(editor->DOM().bodyOuterText().count(insert.html));
            };

            editor->DOM().pasteHTML(insert.html);
            EXPECT_EQ(occurrences(), 1) << label << "\n" << Body().toStdString();
            if (insert.selector && QLatin1String(insert.selector) == QLatin1String("table")) {
                EXPECT_EQ(Count("table td"), 9) << label;
            }
            EXPECT_TRUE(editor->IsDirty()) << label;

            editor->ExecCommand(EditCommand::Undo);
            EXPECT_EQ(occurrences(), 0) << label << "\n" << Body().toStdString();
            EXPECT_EQ(editor->DOM().bodyOuterText().toStdString(), textBefore.toStdString()) << label;
            editor->ExecCommand(EditCommand::Redo);
            EXPECT_EQ(occurrences(), 1) << label << "\n" << Body().toStdString();
        }
    }
}

TEST_F(EditorInsertTest, InsertsFollowEachOtherAndUndoInReverseOrder) {
    Load("<html><body><p id=\"t\">Offer</p></body></html>");
    Caret("t", 5);
    editor->DOM().pasteHTML(TableMarkup());
    editor->DOM().pasteHTML(QStringLiteral("<hr>"));
    editor->DOM().pasteHTML(TableMarkup());
    EXPECT_EQ(Count("table"), 2) << Body().toStdString();
    EXPECT_EQ(Count("hr"), 1) << Body().toStdString();
    editor->ExecCommand(EditCommand::Undo);
    EXPECT_EQ(Count("table"), 1) << Body().toStdString();
    EXPECT_EQ(Count("hr"), 1);
    editor->ExecCommand(EditCommand::Undo);
    EXPECT_EQ(Count("hr"), 0) << Body().toStdString();
    EXPECT_EQ(Count("table"), 1);
    editor->ExecCommand(EditCommand::Undo);
    EXPECT_EQ(Count("table"), 0) << Body().toStdString();
    EXPECT_EQ(editor->DOM().bodyOuterText().trimmed(), QStringLiteral("Offer"));
}

} // namespace
