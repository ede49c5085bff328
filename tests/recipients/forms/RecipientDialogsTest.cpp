#include "tests/recipients/forms/RecipientTestSupport.h"

#include "recipients/RecipientLists.h"
#include "recipients/forms/GroupForms.h"
#include "recipients/forms/RecipientForms.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

using namespace rtest;

namespace {

QString W(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

class GroupDialogs : public RecipientTest {
protected:
    void SetUp() override {
        RecipientTest::SetUp();
        AddGroup(W("sales"));
        AddGroup(W("Friends"));
        manager.addItems({W("sales"), W("Friends")});
        manager.setCurrentIndex(1);
    }
    QComboBox manager;
};

TEST_F(GroupDialogs, NewGroupChecksItsNameAndBothListsFollow) {
    GroupNewForm form(&manager);
    FollowGroups(&form);
    auto* box = form.findChild<QLineEdit*>(QStringLiteral("GroupNameTextBox"));
    box->setText(W("   "));
    form.OKButton_Click();
    box->setText(W(" Sales "));
    form.OKButton_Click();
    EXPECT_EQ(box->text(), W("Sales"));
    EXPECT_EQ(boxes.texts(),
              QStringList({W("Please enter a name."), W("A Group with the name you specified already exists. "
                                                        "Specify a different name.")}));
    EXPECT_EQ(GroupNames(), QStringList({W("sales"), W("Friends")}));

    box->setText(W("Zurich Kunden-2"));
    form.OKButton_Click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(GroupNames(), QStringList({W("sales"), W("Friends"), W("Zurich Kunden-2")}));
    EXPECT_EQ(Items(&manager), GroupNames());
    EXPECT_EQ(manager.currentText(), W("Friends")); // the manager keeps its group
    EXPECT_EQ(Items(to.get()), GroupNames());
    EXPECT_EQ(to->currentIndex(), 0); // the main window selects its first group
}

TEST_F(GroupDialogs, NamesTypedOrPastedHoldOnlyLettersDigitsBlanksAndHyphens) {
    GroupNewForm form(&manager);
    FollowGroups(&form);
    auto* box = form.findChild<QLineEdit*>(QStringLiteral("GroupNameTextBox"));
    QTest::keyClicks(box, W("A'b%c_d[e]-1 2."));
    // Letters beyond A to Z are dropped too.
    for (const QChar c : W("Äßé")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
    }
    EXPECT_EQ(box->text(), W("Abcde-1 2"));
    EXPECT_EQ(box->contextMenuPolicy(), Qt::NoContextMenu);
    // A pasted text keeps what a name may hold, at the cursor.
    QApplication::clipboard()->setText(W(" 'Q1' 100%"));
    box->setCursorPosition(5);
    box->paste();
    EXPECT_EQ(box->text(), W("Abcde Q1 100-1 2"));
    EXPECT_EQ(box->cursorPosition(), 12);
    box->setText(W("Abcde-1 2"));
    QTest::keyClicks(box, QString(70, QLatin1Char('x')));
    EXPECT_EQ(box->text().size(), 64);

    // Text that reaches the box other than by typing is cleaned the same way before it is stored.
    box->setText(W("Lee's'); DROP TABLE [Groups]; --Zürich"));
    form.OKButton_Click();
    EXPECT_EQ(GroupNames().last(), W("Lees DROP TABLE Groups --Zrich"));
    EXPECT_EQ(GroupNames().size(), 3);
}

TEST_F(GroupDialogs, RenameRefusesTheSameOrATakenNameAndRefillsTheLists) {
    GroupRenameForm form(&manager);
    FollowGroups(&form);
    auto* box = form.findChild<QLineEdit*>(QStringLiteral("GroupNameTextBox"));
    EXPECT_EQ(box->text(), W("Friends"));
    form.OKButton_Click();
    box->setText(W("Sales"));
    form.OKButton_Click();
    box->setText(W("FRIENDS"));
    form.OKButton_Click(); // letter case only: the old name itself is taken
    EXPECT_EQ(
        boxes.texts(),
        QStringList({W("You didn't modify the group name."),
                     W("A Group with the name you specified already exists. Specify a different name."),
                     W("A Group with the name you specified already exists. Specify a different name.")}));
    EXPECT_EQ(GroupNames(), QStringList({W("sales"), W("Friends")}));

    box->setText(W(" Amigos "));
    form.OKButton_Click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(GroupNames(), QStringList({W("sales"), W("Amigos")}));
    EXPECT_EQ(Items(&manager), GroupNames());
    EXPECT_EQ(manager.currentIndex(), -1);
    EXPECT_EQ(Items(to.get()), GroupNames());
    EXPECT_EQ(to->currentIndex(), 0);
}

TEST_F(GroupDialogs, RenameOfAGroupGoneMeanwhileIsNotShownAsDone) {
    GroupRenameForm form(&manager);
    FollowGroups(&form);
    {
        Connection db;
        db.Open();
        db.ExecuteWrite(W("DELETE FROM [Groups] WHERE [GroupName] = 'Friends'"));
    }
    form.findChild<QLineEdit*>(QStringLiteral("GroupNameTextBox"))->setText(W("Amigos"));
    form.OKButton_Click();
    EXPECT_EQ(boxes.last(), W("The selected group could not be found."));
    EXPECT_EQ(GroupNames(), QStringList({W("sales")}));
    EXPECT_EQ(Items(&manager), QStringList({W("sales")}));
    EXPECT_EQ(Items(to.get()), QStringList({W("sales")}));
}

class RecipientDialogs : public RecipientTest {
protected:
    void SetUp() override {
        RecipientTest::SetUp();
        friends = AddGroup(W("Friends"));
        other = AddGroup(W("Other"));
        AddRecipients(friends, {{W("ann@example.com"), W("Ann"), W("Lee")},
                                {W("bob@example.com"), W("Bob"), W("Roe")}});
        AddRecipients(other, {{W("carl@example.com"), W("Carl"), W("Poe")}});
    }
    qint32 friends = 0;
    qint32 other = 0;
};

TEST_F(RecipientDialogs, ListsOfferTheirItemsInOrder) {
    RecipientAddForm form(W("Friends"));
    auto* title = form.findChild<QComboBox*>(QStringLiteral("TitleComboBox"));
    auto* country = form.findChild<QComboBox*>(QStringLiteral("CountryComboBox"));
    auto* state = form.findChild<QComboBox*>(QStringLiteral("StateComboBox"));
    EXPECT_EQ(Items(title), QStringList({W("Mr."), W("Ms."), W("Mrs.")}));
    EXPECT_EQ(country->count(), 240);
    EXPECT_EQ(country->itemText(0), W("Afghanistan"));
    EXPECT_EQ(country->itemText(239), W("Zimbabwe"));
    EXPECT_EQ(state->count(), 51);
    EXPECT_EQ(state->itemText(8), W("District of Columbia"));
    for (auto* box : {title, country, state})
        EXPECT_TRUE(box->currentText().isEmpty());
    EXPECT_EQ(title->lineEdit()->maxLength(), 16);
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("EmailTextBox"))->maxLength(), 255);
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("AddTextBox"))->maxLength(), 64);
}

TEST_F(RecipientDialogs, AddRefusesAnInvalidOrDuplicateAddressAndStoresFieldsAsTyped) {
    RecipientAddForm form(W("friends"));
    SetText(&form, "EmailTextBox", W("  not-an-address "));
    form.OKButton_Click();
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("EmailTextBox"))->text(), W("not-an-address"));
    SetText(&form, "EmailTextBox", W(" ANN@Example.com"));
    form.OKButton_Click();
    EXPECT_EQ(boxes.texts(), QStringList({W("Invalid email address."),
                                          W("A recipient with the email you specified already exists.")}));
    EXPECT_FALSE(form.stored());
    EXPECT_EQ(Column(friends, W("G-Email")).size(), 2);

    SetText(&form, "EmailTextBox", W("dan@example.com "));
    SetText(&form, "TitleComboBox", W(" Dr. "));
    SetText(&form, "FirstNameTextBox", W(" Dan  Mary "));
    SetText(&form, "LastNameTextBox", W("O'Brien"));
    SetText(&form, "CountryComboBox", W("Cote D'Ivoire"));
    SetText(&form, "StateComboBox", W("Georgia"));
    SetText(&form, "CityTextBox", W("50% [off]_x"));
    SetText(&form, "AddTextBox", W("Zoë \"Q\""));
    form.OKButton_Click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    ASSERT_TRUE(form.stored());
    EXPECT_EQ(form.stored()->email, W("dan@example.com"));
    EXPECT_EQ(form.stored()->firstName, W("Dan  Mary"));
    EXPECT_EQ(form.stored()->lastName, W("O'Brien"));
    EXPECT_EQ(Column(friends, W("G-Email")).last(), W("dan@example.com"));
    EXPECT_EQ(Column(friends, W("G-Title")).last(), W("Dr."));
    EXPECT_EQ(Column(friends, W("G-LastName")).last(), W("O'Brien"));
    EXPECT_EQ(Column(friends, W("G-Country")).last(), W("Cote D'Ivoire"));
    EXPECT_EQ(Column(friends, W("G-State")).last(), W("Georgia"));
    EXPECT_EQ(Column(friends, W("G-City")).last(), W("50% [off]_x"));
    EXPECT_EQ(Column(friends, W("G-Add")).last(), W("Zoë \"Q\""));
    EXPECT_EQ(Column(friends, W("G-Fax")).last(), W(""));

    // The same address in another group is no duplicate.
    RecipientAddForm second(W("Other"));
    SetText(&second, "EmailTextBox", W("ann@example.com"));
    second.OKButton_Click();
    EXPECT_EQ(second.result(), QDialog::Accepted);
    EXPECT_EQ(Column(other, W("G-Email")), QStringList({W("carl@example.com"), W("ann@example.com")}));
}

TEST_F(RecipientDialogs, AddToAGroupThatIsGoneWritesNothing) {
    RecipientAddForm form(W("Vanished"));
    SetText(&form, "EmailTextBox", W("dan@example.com"));
    form.OKButton_Click();
    EXPECT_EQ(boxes.last(), W("The selected group could not be found."));
    EXPECT_FALSE(form.stored());
    EXPECT_NE(form.result(), QDialog::Accepted);
    Connection db;
    db.Open();
    EXPECT_TRUE(db.Execute(W("SELECT * FROM [Emails] WHERE [G-ID] = 0")).Eof());
}

TEST_F(RecipientDialogs, ModifyShowsTheStoredRowAndWritesBackToThatRowOnly) {
    {
        Connection db;
        db.Open();
        db.ExecuteWrite(
            W("UPDATE [Emails] SET [G-Title] = 'Captain', [G-LastName] = 'O''Lee' WHERE [G-Email] = "
              "'ann@example.com'"));
    }
    RecipientModifyForm form(W("FRIENDS"), W("ANN@example.com"));
    EXPECT_EQ(form.findChild<QComboBox*>(QStringLiteral("TitleComboBox"))->currentText(), W("Captain"));
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("LastNameTextBox"))->text(), W("O'Lee"));

    SetText(&form, "EmailTextBox", W("Bob@Example.com"));
    form.OKButton_Click();
    EXPECT_EQ(boxes.last(), W("A recipient with the email you specified already exists."));
    EXPECT_FALSE(form.stored());
    EXPECT_EQ(Column(friends, W("G-Email")), QStringList({W("ann@example.com"), W("bob@example.com")}));

    // Another group's address, and only a change of letter case, are accepted.
    SetText(&form, "EmailTextBox", W("carl@example.com"));
    SetText(&form, "FirstNameTextBox", W(" Anne "));
    form.OKButton_Click();
    ASSERT_TRUE(form.stored());
    EXPECT_EQ(form.stored()->firstName, W("Anne"));
    EXPECT_EQ(form.stored()->lastName, W("O'Lee"));
    EXPECT_EQ(form.stored()->email, W("carl@example.com"));
    EXPECT_EQ(Column(friends, W("G-Email")), QStringList({W("carl@example.com"), W("bob@example.com")}));
    EXPECT_EQ(Column(friends, W("G-LastName")), QStringList({W("O'Lee"), W("Roe")}));
    EXPECT_EQ(Column(other, W("G-FirstName")), QStringList({W("Carl")}));

    RecipientModifyForm again(W("Friends"), W("carl@example.com"));
    SetText(&again, "EmailTextBox", W("CARL@example.com"));
    again.OKButton_Click();
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(Column(friends, W("G-Email")).first(), W("CARL@example.com"));
}

TEST_F(RecipientDialogs, ModifyOfARecipientGoneMeanwhileWritesNothing) {
    RecipientModifyForm form(W("Friends"), W("bob@example.com"));
    {
        Connection db;
        db.Open();
        db.ExecuteWrite(W("DELETE FROM [Emails] WHERE [G-Email] = 'bob@example.com'"));
    }
    form.OKButton_Click();
    EXPECT_EQ(boxes.last(), W("The recipient could not be found."));
    EXPECT_FALSE(form.stored());
    EXPECT_NE(form.result(), QDialog::Accepted);

    RecipientModifyForm missing(W("Friends"), W("nobody@example.com"));
    SetText(&missing, "EmailTextBox", W("ann@example.com"));
    missing.OKButton_Click();
    EXPECT_EQ(boxes.last(), W("The recipient could not be found."));
    EXPECT_EQ(Column(friends, W("G-FirstName")), QStringList({W("Ann")}));
}

TEST_F(RecipientDialogs, IdsBeyondSixteenBitsWork) {
    {
        Connection db;
        db.Open();
        db.ExecuteWrite(W("INSERT INTO [Groups] ([ID], [GroupName]) VALUES (50000, 'Wide')"));
        db.ExecuteWrite(
            W("INSERT INTO [Emails] ([ID], [G-ID], [G-Email]) VALUES (70000, 50000, 'w@example.com')"));
    }
    RecipientAddForm add(W("Wide"));
    SetText(&add, "EmailTextBox", W("v@example.com"));
    add.OKButton_Click();
    EXPECT_EQ(add.result(), QDialog::Accepted);
    EXPECT_EQ(Column(50000, W("G-Email")), QStringList({W("w@example.com"), W("v@example.com")}));

    RecipientModifyForm modify(W("Wide"), W("w@example.com"));
    SetText(&modify, "FirstNameTextBox", W("Wanda"));
    modify.OKButton_Click();
    EXPECT_EQ(modify.result(), QDialog::Accepted);
    EXPECT_EQ(Column(50000, W("G-FirstName")).first(), W("Wanda"));

    EXPECT_EQ(DeleteRecipient(W("Wide"), W("w@example.com")), StoreResult::Done);
    EXPECT_EQ(Column(50000, W("G-Email")), QStringList({W("v@example.com")}));
}
