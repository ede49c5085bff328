// The page colours, table, line, date and time and properties dialogs on a real editor, opened the way
// the main window's commands open them.
#include "content/EmailTemplates.h"
#include "content/forms/BodyForm.h"
#include "content/forms/ColorPicker.h"
#include "content/forms/DateTimeForm.h"
#include "content/forms/LineForm.h"
#include "content/forms/PropertiesForm.h"
#include "content/forms/RegisterContentWindows.h"
#include "content/forms/TableForm.h"
#include "content/forms/UpDown.h"
#include "tests/content/forms/ContentFixture.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestComposer.h"
#include "tests/support/TestEnvironment.h"
#include "ui/CommandWindows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

using namespace contenttest;

namespace {

class ContentDialogs : public ContentFixture {
protected:
    QString colour(const char* attribute) {
        return Eval(QStringLiteral("document.body.getAttribute('%1')").arg(QLatin1String(attribute)))
            .toString();
    }
    int count(const char* selector) {
        return Eval(QStringLiteral("document.querySelectorAll('%1').length").arg(QLatin1String(selector)))
            .toInt();
    }
    testenv::MessageBoxRecorder boxes;
};

} // namespace

TEST_F(ContentDialogs, EachCommandOpensItsOwnWindow) {
    RegisterContentWindows();
    testenv::TestComposer composer;
    composer.editor = editor;
    const struct {
        int id;
        const char* window;
    } commands[] = {{1025, "PropertiesForm"}, {1035, "DateTimeForm"}, {1036, "TemplateForm"},
                    {1040, "BodyForm"},       {1041, "LineForm"},     {1042, "TableForm"}};
    for (const auto& c : commands) {
        QString shown;
        auto seen = WhenShown<QDialog>([&shown](QDialog* form) { shown = form->metaObject()->className(); });
        EXPECT_TRUE(CommandWindows::Open(c.id, nullptr, composer));
        EXPECT_TRUE(*seen) << c.id;
        EXPECT_EQ(shown, QLatin1String(c.window)) << c.id;
    }
    // Closed without OK, none of them changed the document.
    EXPECT_FALSE(editor->IsDirty());
}

TEST_F(ContentDialogs, PageColoursShowTheDocumentsAndApplyOnlyAfterOk) {
    Load("<html><body bgcolor=\"#ff8000\" text=\"#000000\" link=\"blue\"><p>x</p></body></html>");
    // Cancel after picking: the document keeps its colours and nothing is handed back.
    auto seen = WhenShown<BodyForm>([](BodyForm* form) {
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Body"));
        EXPECT_EQ(Child<QLineEdit>(form, "TextBox1")->text(), QStringLiteral("#FF8000"));
        EXPECT_EQ(Child<ColorPicker>(form, "ColorPicker1")->color(), QColor(255, 128, 0));
        EXPECT_EQ(Child<ColorPicker>(form, "ColorPicker4")->defaultColor(), QColor(128, 0, 128));
        EXPECT_EQ(Child<QLineEdit>(form, "TextBox3")->text(), QStringLiteral("#0000FF"));
        // No colour in the document: an empty box and a black picker.
        EXPECT_EQ(Child<QLineEdit>(form, "TextBox4")->text(), QString());
        EXPECT_EQ(Child<ColorPicker>(form, "ColorPicker4")->color(), QColor(0, 0, 0));
        Child<ColorPicker>(form, "ColorPicker1")->pick(QColor(10, 0, 255));
        EXPECT_EQ(Child<QLineEdit>(form, "TextBox1")->text(), QStringLiteral("#0A00FF"));
        Child<QPushButton>(form, "CancelButton")->click();
        EXPECT_EQ(form->chosenColours()[0], QString());
    });
    ShowBodyForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_EQ(colour("bgcolor"), QStringLiteral("#ff8000"));
    EXPECT_FALSE(editor->IsDirty());

    // OK: every non-empty box is handed back as shown and applied; the empty ones leave the document's
    // colour alone.
    std::array<QString, 5> chosen;
    seen = WhenShown<BodyForm>([&chosen](BodyForm* form) {
        Child<ColorPicker>(form, "ColorPicker2")->pick(QColor(1, 2, 3));
        Child<QPushButton>(form, "OKButton")->click();
        chosen = form->chosenColours();
    });
    ShowBodyForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_EQ(chosen, (std::array<QString, 5>{QStringLiteral("#FF8000"), QStringLiteral("#010203"),
                                              QStringLiteral("#0000FF"), QString(), QString()}));
    EXPECT_EQ(editor->DOM().fgColor(), QStringLiteral("#010203"));
    EXPECT_EQ(editor->DOM().bgColor(), QStringLiteral("#ff8000"));
    EXPECT_EQ(colour("alink"), QString());
    EXPECT_EQ(colour("vlink"), QString());
}

TEST_F(ContentDialogs, TableChecksItsBoxesThenPastesTheTableAtTheCaret) {
    Load("<html><body><p id=\"a\">before after</p></body></html>");
    Caret("a", 6);

    // Cancel: nothing handed back, nothing pasted.
    auto seen = WhenShown<TableForm>([](TableForm* form) {
        Child<QPushButton>(form, "CancelButton")->click();
        EXPECT_FALSE(form->insertedHtml());
    });
    ShowTableForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_EQ(count("table"), 0);

    QString tableHtml;
    seen = WhenShown<TableForm>([this, &tableHtml](TableForm* form) {
        EXPECT_EQ(Child<QComboBox>(form, "AlignComboBox")->currentText(), QStringLiteral("Left"));
        EXPECT_TRUE(Child<QRadioButton>(form, "PercentRadioButton")->isChecked());
        auto* border = Child<QLineEdit>(form, "BorderTextBox");
        EXPECT_TRUE(border->isReadOnly());
        border->setText(QStringLiteral("0"));
        Child<QPushButton>(form, "OKButton")->click();
        EXPECT_EQ(boxes.last(), QStringLiteral("Please enter a valid border."));
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(form->insertedHtml());
        // The spin buttons stop at the limits of the checks.
        auto* spacing = Child<QLineEdit>(form, "SpacingTextBox");
        auto* spacingSpin = Child<UpDown>(form, "SpacingUpDown");
        spacingSpin->stepDown();
        spacingSpin->stepDown();
        EXPECT_EQ(spacing->text(), QStringLiteral("0"));
        Child<UpDown>(form, "BorderUpDown")->stepDown();
        EXPECT_EQ(border->text(), QStringLiteral("1"));
        Child<QLineEdit>(form, "RowsTextBox")->setText(QString());
        Child<QPushButton>(form, "OKButton")->click();
        EXPECT_EQ(boxes.last(), QStringLiteral("Please enter your row."));
        Child<UpDown>(form, "RowsUpDown")->stepUp(); // an empty box starts from its minimum
        Child<UpDown>(form, "RowsUpDown")->stepUp();
        Child<QComboBox>(form, "AlignComboBox")->setCurrentText(QStringLiteral("Center"));
        Child<QLineEdit>(form, "SpecifyTextBox")->setText(QStringLiteral("250"));
        Child<QRadioButton>(form, "PixelRadioButton")->setChecked(true);
        Child<QPushButton>(form, "OKButton")->click();
        tableHtml = form->insertedHtml().value_or(QString());
    });
    ShowTableForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_EQ(boxes.texts().size(), 2);
    EXPECT_TRUE(tableHtml.startsWith(QStringLiteral(
        "<Table align=\"Center\" cellspacing=\"0\" cellpadding=\"1\" border=\"1\" width=250>\r\n")))
        << tableHtml.toStdString();
    // Two rows of three cells, at the caret inside the paragraph's text.
    ASSERT_EQ(count("table"), 1);
    EXPECT_EQ(count("table tr"), 2);
    EXPECT_EQ(count("table td"), 6);
    EXPECT_EQ(Eval(QStringLiteral("document.querySelector('table').getAttribute('width')")).toString(),
              QStringLiteral("250"));
    EXPECT_EQ(Eval(QStringLiteral("document.querySelector('table').getAttribute('cellspacing')")).toString(),
              QStringLiteral("0"));
    const QString text = editor->DOM().bodyOuterText();
    EXPECT_LT(text.indexOf(QStringLiteral("before")), text.indexOf(QStringLiteral("after")))
        << text.toStdString();
    EXPECT_TRUE(editor->IsDirty());
}

TEST_F(ContentDialogs, LineChecksWidthThenHeightAndPastesOneRule) {
    Load("<html><body><p id=\"a\">one two</p></body></html>");
    auto seen = WhenShown<LineForm>([](LineForm* form) { form->reject(); }); // the close box
    ShowLineForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_EQ(count("hr"), 0);

    Caret("a", 3);
    QString lineHtml;
    seen = WhenShown<LineForm>([this, &lineHtml](LineForm* form) {
        EXPECT_FALSE(Child<QComboBox>(form, "HeightComboBox")->isEnabled());
        auto* width = Child<QLineEdit>(form, "WidthTextBox");
        auto* height = Child<QLineEdit>(form, "HeightTextBox");
        EXPECT_EQ(width->maxLength(), 3);
        width->setText(QStringLiteral("101"));
        height->setText(QString());
        Child<QPushButton>(form, "OKButton")->click();
        EXPECT_EQ(boxes.last(), QStringLiteral("Please enter a valid width."));
        width->setText(QStringLiteral("50"));
        Child<QPushButton>(form, "OKButton")->click();
        EXPECT_EQ(boxes.last(), QStringLiteral("Please enter your height."));
        Child<UpDown>(form, "RowsUpDown")->stepUp();
        Child<UpDown>(form, "RowsUpDown")->stepUp();
        Child<UpDown>(form, "RowsUpDown")->stepUp();
        EXPECT_EQ(height->text(), QStringLiteral("2"));
        Child<QComboBox>(form, "AlignComboBox")->setCurrentText(QStringLiteral("Right"));
        Child<QCheckBox>(form, "SolidCheckBox")->setChecked(true);
        Child<QPushButton>(form, "OKButton")->click();
        lineHtml = form->insertedHtml().value_or(QString());
    });
    ShowLineForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_EQ(lineHtml, QStringLiteral("<hr align=\"right\" noshade width=\"50%\">"));
    ASSERT_EQ(count("hr"), 1);
    EXPECT_EQ(Eval(QStringLiteral("document.querySelector('hr').getAttribute('width')")).toString(),
              QStringLiteral("50%"));
    EXPECT_TRUE(Eval(QStringLiteral("document.querySelector('hr').hasAttribute('noshade')")).toBool());
}

TEST_F(ContentDialogs, DateAndTimeAsksForBothChoicesAndPastesWhatWasShown) {
    SetDateTimeSourceForTesting([] {
        return DateTimeSource{QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)),
                              QLocale(QStringLiteral("en_US"))};
    });
    Load("<html><body><p id=\"a\">Date: here</p></body></html>");
    auto seen = WhenShown<DateTimeForm>([](DateTimeForm* form) { form->reject(); });
    ShowDateTimeForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_FALSE(editor->IsDirty());

    // Select "here" so the paste replaces it.
    ASSERT_TRUE(
        Eval(QStringLiteral("(function(){const n=document.getElementById('a').firstChild;"
                            "const r=document.createRange();r.setStart(n,6);r.setEnd(n,10);"
                            "getSelection().removeAllRanges();getSelection().addRange(r);return true;})()"))
            .toBool());
    seen = WhenShown<DateTimeForm>([this](DateTimeForm* form) {
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Insert Date and Time"));
        auto* dates = Child<QListWidget>(form, "DateListBox");
        auto* times = Child<QListWidget>(form, "TimeListBox");
        EXPECT_TRUE(dates->selectedItems().isEmpty());
        EXPECT_TRUE(times->selectedItems().isEmpty());
        EXPECT_EQ(dates->item(3)->text(), QStringLiteral("Tuesday, March 05, 2024"));
        EXPECT_EQ(times->item(3)->text(), QStringLiteral("14:07:09 PM"));
        Child<QPushButton>(form, "OKButton")->click();
        EXPECT_EQ(boxes.texts(), QStringList{"Please select date format."});
        dates->setCurrentRow(3);
        Child<QPushButton>(form, "OKButton")->click();
        EXPECT_EQ(boxes.last(), QStringLiteral("Please select time format."));
        EXPECT_TRUE(form->isVisible());
        times->setCurrentRow(1);
        Child<QPushButton>(form, "OKButton")->click();
    });
    ShowDateTimeForm(nullptr, editor);
    SetDateTimeSourceForTesting({});
    EXPECT_TRUE(*seen);
    EXPECT_EQ(Eval(QStringLiteral("document.getElementById('a').textContent")).toString(),
              QStringLiteral("Date: Tuesday, March 05, 2024 - 14:07:09"));
}

TEST_F(ContentDialogs, PropertiesReadPathTitleAndHeadOfTheDocument) {
    // A new document: no file, no title.
    auto seen = WhenShown<PropertiesForm>([](PropertiesForm* form) {
        EXPECT_EQ(Child<QLineEdit>(form, "LocationTextBox")->text(), QStringLiteral("Unsaved"));
        EXPECT_EQ(Child<QLineEdit>(form, "TitleTextBox")->text(), QStringLiteral("Not Available"));
        EXPECT_EQ(Child<QLineEdit>(form, "DirectionTextBox")->text(), QStringLiteral("None"));
        EXPECT_EQ(Child<QLineEdit>(form, "HTMLTextBox")->text(), QStringLiteral("Unicode (UTF-8)"));
        Child<QPushButton>(form, "CloseButton")->click();
    });
    ShowPropertiesForm(nullptr, editor);
    EXPECT_TRUE(*seen);

    Load("<html dir=\"rtl\"><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
         "charset=windows-1256\">"
         "<title>Spring News</title><meta name=\"keywords\" content=\"x content=fr-ch\"></head>"
         "<body dir=\"ltr\"><p>content=de</p></body></html>",
         QStringLiteral("news.htm"));
    seen = WhenShown<PropertiesForm>([](PropertiesForm* form) {
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Properties"));
        EXPECT_EQ(Child<QLineEdit>(form, "LocationTextBox")->text(), File(QStringLiteral("news.htm")));
        EXPECT_EQ(Child<QLineEdit>(form, "TitleTextBox")->text(), QStringLiteral("Spring News"));
        EXPECT_EQ(Child<QLineEdit>(form, "DirectionTextBox")->text(), QStringLiteral("Right to Left"));
        EXPECT_EQ(Child<QLineEdit>(form, "PageTextBox")->text(), QStringLiteral("French (Swiss)"));
        EXPECT_EQ(Child<QLineEdit>(form, "HTMLTextBox")->text(), QStringLiteral("Arabic"));
        Child<QPushButton>(form, "CloseButton")->click();
    });
    ShowPropertiesForm(nullptr, editor);
    EXPECT_TRUE(*seen);
    EXPECT_FALSE(editor->IsDirty());
}

TEST_F(ContentDialogs, PropertiesFindTheLanguageHoweverTheFileQuotesIt) {
    const auto language = [] {
        std::string shown;
        auto seen = WhenShown<PropertiesForm>([&shown](PropertiesForm* form) {
            shown = Child<QLineEdit>(form, "PageTextBox")->text().toStdString();
        });
        ShowPropertiesForm(nullptr, editor);
        EXPECT_TRUE(*seen);
        return shown;
    };
    Load("<html><head><meta http-equiv=Content-Language content=fr-ch><title>A</title></head>"
         "<body><p>x</p></body></html>");
    EXPECT_EQ(language(), "French (Swiss)");
    Load("<html><head><meta http-equiv=\"Content-Language\" content=\"fr-ch\"></head><body></body></html>");
    EXPECT_EQ(language(), "French (Swiss)");
    Load("<html><head><meta http-equiv='Content-Language' content='fr'></head><body></body></html>");
    EXPECT_EQ(language(), "French (Standard)");
    // A value that needs its quotes keeps them: only the bare token is a language.
    Load("<html><head><meta name=\"keywords\" content=\"en-us and more\"></head><body></body></html>");
    EXPECT_EQ(language(), "None");
    for (int row = 0; row < TemplateNames().size(); ++row) {
        editor->NewDocument();
        editor->SetDocumentHTML(StoredTemplate(row));
        EXPECT_EQ(language(), "English (United States)") << row;
    }
}
