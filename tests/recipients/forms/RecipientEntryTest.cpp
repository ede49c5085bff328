// What the recipient dialogs keep of stored and typed texts, and how the recipient grids show rows.
#include "tests/recipients/forms/RecipientTestSupport.h"

#include "recipients/forms/RecipientForms.h"
#include "recipients/forms/RecipientGrid.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace rtest;

// Failures show texts, not their bytes.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

QString W(const char* text) {
    return QString::fromUtf8(text);
}

const char* const kFieldBoxes[] = {"EmailTextBox",    "TitleComboBox", "FirstNameTextBox", "LastNameTextBox",
                                   "CountryComboBox", "StateComboBox", "CityTextBox",      "Address1TextBox",
                                   "Address2TextBox", "ZIPTextBox",    "PhoneTextBox",     "FaxTextBox",
                                   "CompanyTextBox",  "JobTextBox",    "SiteTextBox",      "IPTextBox",
                                   "DateTextBox",     "AddTextBox"};
const char* const kColumns[] = {"G-Email", "G-Title", "G-FirstName", "G-LastName", "G-Country",
                                "G-State", "G-City",  "G-Address1",  "G-Address2", "G-ZIPCode",
                                "G-Phone", "G-Fax",   "G-Company",   "G-JobTitle", "G-WebSite",
                                "G-IP",    "G-Date",  "G-Add"};

QLineEdit* Edit(QWidget* dialog, const char* name) {
    if (auto* box = dialog->findChild<QComboBox*>(QString::fromLatin1(name)))
        return box->lineEdit();
    return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
}

class RecipientEntry : public RecipientTest {
protected:
    void SetUp() override {
        RecipientTest::SetUp();
        friends = AddGroup(W("Friends"));
        AddRecipients(friends, {{W("ann@example.com"), W("Ann"), W("Lee")}});
    }
    QString Stored(const char* column) { return Column(friends, QString::fromLatin1(column)).value(0); }
    qint32 friends = 0;
};

} // namespace

TEST_F(RecipientEntry, ModifyShowsAndKeepsLongStoredValuesInFull) {
    // Values longer than the typing limits (written by an import, or an older version): 2,000 characters
    // in every field but the address, which holds 252: longer than its box allows, yet within the 254
    // characters an address may have.
    const QString address = QString(240, QLatin1Char('a')) + W("@example.com");
    {
        Connection db;
        db.Open();
        QString sql = W("UPDATE [Emails] SET [G-Email] = '") + address + W("'");
        for (int i = 1; i < 18; ++i)
            sql += W(", [%1] = '%2'").arg(W(kColumns[i]), QString(2000, QChar(u'a' + i)));
        ASSERT_EQ(db.ExecuteWrite(sql), 1);
    }
    RecipientModifyForm form(W("Friends"), address);
    EXPECT_EQ(Edit(&form, kFieldBoxes[0])->text(), address);
    for (int i = 1; i < 18; ++i)
        EXPECT_EQ(Edit(&form, kFieldBoxes[i])->text().size(), 2000) << kFieldBoxes[i];

    // Typing cannot make a long value longer, nor a short one pass its limit; deleting still works.
    QLineEdit* site = Edit(&form, "SiteTextBox");
    site->end(false);
    QTest::keyClicks(site, W("xyz"));
    EXPECT_EQ(site->text().size(), 2000);
    QTest::keyClick(site, Qt::Key_Backspace);
    EXPECT_EQ(site->text().size(), 1999);
    QTest::keyClicks(site, W("xyz"));
    EXPECT_EQ(site->text().size(), 2000);
    site->setText(QString(2000, QLatin1Char('s')));
    QLineEdit* fax = Edit(&form, "FaxTextBox");
    fax->clear();
    QTest::keyClicks(fax, QString(70, QLatin1Char('9')));
    EXPECT_EQ(fax->text().size(), 64);
    QLineEdit* title = Edit(&form, "TitleComboBox");
    title->clear();
    QTest::keyClicks(title, QString(20, QLatin1Char('t')));
    EXPECT_EQ(title->text().size(), 16);

    form.OKButton_Click();
    ASSERT_EQ(form.result(), QDialog::Accepted) << boxes.last().toStdString();
    EXPECT_EQ(Stored("G-Email"), address);
    EXPECT_EQ(Stored("G-WebSite"), QString(2000, QLatin1Char('s')));
    EXPECT_EQ(Stored("G-Fax"), QString(64, QLatin1Char('9')));
    EXPECT_EQ(Stored("G-Title"), QString(16, QLatin1Char('t')));
    for (int i : {2, 3, 4, 5, 6, 17})
        EXPECT_EQ(Stored(kColumns[i]), QString(2000, QChar(u'a' + i))) << kColumns[i];
    ASSERT_TRUE(form.stored());
    EXPECT_EQ(form.stored()->firstName.size(), 2000);
}

TEST_F(RecipientEntry, ListFieldsStoreWhatWasTypedNotAnItemItResembles) {
    struct Typed {
        const char* box;
        const char* keys;
        bool pressReturn;
        const char* column;
    };
    const Typed cases[] = {
        {"StateComboBox", "MA", false, "G-State"},     {"StateComboBox", "new", true, "G-State"},
        {"StateComboBox", "georgia", true, "G-State"}, {"CountryComboBox", "Korea", false, "G-Country"},
        {"CountryComboBox", "Ger", true, "G-Country"}, {"TitleComboBox", "M", true, "G-Title"},
        {"TitleComboBox", "Dr", false, "G-Title"},
    };
    for (const Typed& c : cases) {
        SCOPED_TRACE(std::string(c.box) + " " + c.keys);
        for (const bool modify : {false, true}) {
            std::unique_ptr<RecipientFieldsDialog> form;
            if (modify)
                form = std::make_unique<RecipientModifyForm>(W("Friends"), W("ann@example.com"));
            else
                form = std::make_unique<RecipientAddForm>(W("Friends"));
            form->show();
            if (!modify)
                SetText(form.get(), "EmailTextBox", W("new@example.com"));
            QLineEdit* edit = Edit(form.get(), c.box);
            edit->setFocus();
            edit->clear();
            QTest::keyClicks(edit, W(c.keys));
            if (c.pressReturn)
                QTest::keyClick(edit, Qt::Key_Return);
            EXPECT_EQ(edit->text(), W(c.keys));
            if (form->result() != QDialog::Accepted)
                form->OKButton_Click();
            ASSERT_EQ(form->result(), QDialog::Accepted) << boxes.last().toStdString();
            const QStringList stored = Column(friends, QString::fromLatin1(c.column));
            EXPECT_EQ(stored.last(), W(c.keys));
            if (!modify) {
                Connection db;
                db.Open();
                db.ExecuteWrite(W("DELETE FROM [Emails] WHERE [G-Email] = 'new@example.com'"));
            }
        }
    }
}

TEST_F(RecipientEntry, GridColumnsStartAtTheirWidthsAndCanBeWidened) {
    RecipientGridModel model;
    QWidget window;
    window.resize(900, 300);
    QTableView* grid = MakeRecipientGrid(&window, &model, {750, 2197, 2197, 2197}, [] {});
    grid->setGeometry(0, 0, 900, 300);
    model.append({{W("Ann"), W("Lee"), W("a.very.long.address.that.does.not.fit@example.com")}});
    UpdateRecipientGridState(grid);
    window.show();
    QApplication::processEvents();

    // The widths given are where the columns start; the user drags a column edge to widen it.
    QHeaderView* header = grid->horizontalHeader();
    EXPECT_EQ(header->sectionSize(3), 2197 / 15);
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(header->sectionResizeMode(column), QHeaderView::Interactive) << column;
    const int edge = header->sectionViewportPosition(3) + header->sectionSize(3) - 1;
    const int middle = header->height() / 2;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, middle));
    QMouseEvent move(QEvent::MouseMove, QPointF(edge + 80, middle),
                     header->viewport()->mapToGlobal(QPointF(edge + 80, middle)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &move);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 80, middle));
    EXPECT_GT(header->sectionSize(3), 2197 / 15 + 40);
}
