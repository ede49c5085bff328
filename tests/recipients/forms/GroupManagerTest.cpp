#include "tests/recipients/forms/RecipientTestSupport.h"

#include "core/Paths.h"
#include "recipients/RecipientStore.h"
#include "recipients/forms/FlexGrid.h"
#include "recipients/forms/GroupManagerForm.h"
#include "recipients/forms/RecipientSearchForm.h"
#include "recipients/forms/TransferWindows.h"
#include "tests/support/DamagedDatabase.h"
#include "tests/support/ProcessMeasures.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>

using namespace rtest;

namespace {

QString W(const char* text) {
    return QString::fromUtf8(text);
}

class GroupManager : public RecipientTest {
protected:
    void SetUp() override {
        RecipientTest::SetUp();
        friends = AddGroup(W("Friends"));
        AddRecipients(friends, {{W("ann@example.com"), W("Ann"), W("Lee")},
                                {W("bob@example.com"), W("Bob"), W("O'Brien")},
                                {W("cy@example.com"), W("Cy"), W("Poe")}});
        AddGroup(W("Empty"));
        form = std::make_unique<GroupManagerForm>();
        FollowGroups(form.get());
        groups = form->findChild<QComboBox*>(QStringLiteral("GroupComboBox"));
        grid = form->findChild<QTableView*>(QStringLiteral("MSFlexGrid"));
        total = form->findChild<QLabel*>(QStringLiteral("Total"));
    }
    void TearDown() override {
        form.reset();
        OpenRecipientImportWindow() = nullptr;
        OpenRecipientExportWindow() = nullptr;
        RecipientTest::TearDown();
    }
    void Choose(const QString& name) {
        groups->setCurrentIndex(groups->findText(name));
        form->LoadGroupRecipients();
    }
    void Click(const char* button) { form->findChild<QPushButton*>(QString::fromLatin1(button))->click(); }
    QStringList GridColumn(int column) const {
        QStringList values;
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            values << grid->model()->index(r, column).data().toString();
        return values;
    }

    qint32 friends = 0;
    std::unique_ptr<GroupManagerForm> form;
    QComboBox* groups = nullptr;
    QTableView* grid = nullptr;
    QLabel* total = nullptr;
};

} // namespace

TEST_F(GroupManager, OpensWithNoGroupChosenAndLoadsTheChosenOne) {
    EXPECT_EQ(Items(groups), QStringList({W("Friends"), W("Empty")}));
    EXPECT_EQ(groups->currentIndex(), -1);
    EXPECT_EQ(total->text(), W("0"));
    EXPECT_FALSE(grid->isEnabled());
    EXPECT_EQ(grid->model()->headerData(3, Qt::Horizontal).toString(), W("Email Address"));

    Choose(W("Friends"));
    EXPECT_EQ(total->text(), W("3"));
    EXPECT_TRUE(grid->isEnabled());
    EXPECT_FALSE(form->findChild<QProgressBar*>(QStringLiteral("ProgressBar"))->isVisible());
    EXPECT_EQ(GridColumn(0), QStringList({W("1"), W("2"), W("3")}));
    EXPECT_EQ(GridColumn(2), QStringList({W("Lee"), W("O'Brien"), W("Poe")}));

    // A group's own order is followed.
    {
        Connection db;
        db.Open();
        db.ExecuteWrite(W("UPDATE [Groups] SET [SortSQL] = '[G-LastName] DESC' WHERE [ID] = ") +
                        QString::number(friends));
    }
    Choose(W("Friends"));
    EXPECT_EQ(GridColumn(2), QStringList({W("Poe"), W("O'Brien"), W("Lee")}));

    Choose(W("Empty"));
    EXPECT_EQ(total->text(), W("0"));
    EXPECT_FALSE(grid->isEnabled());
    for (const char* button : {"ModifyButton", "DeleteButton", "SearchButton"})
        Click(button);
    EXPECT_EQ(boxes.texts(), QStringList(3, W("The selected group does not contain any recipients.")));
}

TEST_F(GroupManager, ButtonsThatNeedAGroupSaySo) {
    for (const char* button : {"RenameGroupButton", "DeleteGroupButton", "AddButton", "ModifyButton",
                               "DeleteButton", "SearchButton"})
        Click(button);
    EXPECT_EQ(boxes.texts(), QStringList(6, W("Please specify a group.")));

    form.reset();
    {
        Connection db;
        db.Open();
        db.ExecuteWrite(W("DELETE FROM [Groups]"));
    }
    form = std::make_unique<GroupManagerForm>();
    bool opened = false;
    OpenRecipientImportWindow() = [&](QWidget*) { return opened = true; };
    OpenRecipientExportWindow() = [&](QWidget*) { opened = true; };
    Click("ImportButton");
    Click("ExportButton");
    EXPECT_FALSE(opened);
    EXPECT_EQ(boxes.texts().mid(6), QStringList({W("There is no group to import the data to."),
                                                 W("There is no group to export the data from.")}));
}

TEST_F(GroupManager, ImportReloadsTheChosenGroupOnlyWhenSomethingWasImported) {
    Choose(W("Friends"));
    int opened = 0;
    OpenRecipientImportWindow() = [&](QWidget* parent) {
        EXPECT_EQ(parent, form.get());
        ++opened;
        return false;
    };
    AddRecipients(friends, {{W("dee@example.com"), W("Dee"), W("Fox")}});
    Click("ImportButton");
    EXPECT_EQ(total->text(), W("3"));

    OpenRecipientImportWindow() = [&](QWidget*) {
        ++opened;
        return true;
    };
    Click("ImportButton");
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(total->text(), W("4"));

    OpenRecipientImportWindow() = nullptr; // nothing registered: the checks run, nothing else happens
    Click("ImportButton");
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST_F(GroupManager, AddModifyAndDeleteFollowTheStoredRows) {
    Choose(W("Friends"));
    OnNextModal([](QWidget* dialog) {
        SetText(dialog, "EmailTextBox", W("dee@example.com"));
        SetText(dialog, "LastNameTextBox", W("D'Arcy"));
        dialog->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    Click("AddButton");
    EXPECT_EQ(total->text(), W("4"));
    EXPECT_EQ(GridColumn(2).last(), W("D'Arcy"));
    EXPECT_EQ(Column(friends, W("G-LastName")).last(), W("D'Arcy"));

    // A cancelled add leaves the grid alone.
    OnNextModal(
        [](QWidget* dialog) { dialog->findChild<QPushButton*>(QStringLiteral("CancelButton"))->click(); });
    Click("AddButton");
    EXPECT_EQ(total->text(), W("4"));

    grid->setCurrentIndex(grid->model()->index(1, 1));
    OnNextModal([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), W("Modify Recipient"));
        EXPECT_EQ(dialog->objectName(), W("RecipientModifyForm1"));
        EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("LastNameTextBox"))->text(), W("O'Brien"));
        SetText(dialog, "FirstNameTextBox", W("Robert"));
        dialog->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    Click("ModifyButton");
    EXPECT_EQ(GridColumn(1), QStringList({W("Ann"), W("Robert"), W("Cy"), W("")}));
    EXPECT_EQ(Column(friends, W("G-FirstName")), QStringList({W("Ann"), W("Robert"), W("Cy"), W("")}));

    boxes.answer(QMessageBox::No);
    Click("DeleteButton");
    EXPECT_EQ(boxes.last(), W("Are you sure you want to delete 'bob@example.com'?"));
    EXPECT_EQ(Column(friends, W("G-Email")).size(), 4);

    Click("DeleteButton");
    EXPECT_EQ(Column(friends, W("G-Email")),
              QStringList({W("ann@example.com"), W("cy@example.com"), W("dee@example.com")}));
    EXPECT_EQ(GridColumn(0), QStringList({W("1"), W("2"), W("3")}));
    EXPECT_EQ(GridColumn(3), Column(friends, W("G-Email")));
    EXPECT_EQ(total->text(), W("3"));

    // A row deleted elsewhere meanwhile is reported and stays in the grid.
    {
        Connection db;
        db.Open();
        db.ExecuteWrite(W("DELETE FROM [Emails] WHERE [G-Email] = 'ann@example.com'"));
    }
    grid->setCurrentIndex(grid->model()->index(0, 1));
    Click("DeleteButton");
    EXPECT_EQ(boxes.last(), W("The recipient could not be found."));
    EXPECT_EQ(total->text(), W("3"));
    EXPECT_EQ(grid->model()->rowCount(), 3);
}

TEST_F(GroupManager, DeletingTheLastRecipientEmptiesTheGrid) {
    const qint32 solo = AddGroup(W("Solo"));
    AddRecipients(solo, {{W("x@example.com"), W("X"), W("Y")}});
    form = std::make_unique<GroupManagerForm>();
    groups = form->findChild<QComboBox*>(QStringLiteral("GroupComboBox"));
    grid = form->findChild<QTableView*>(QStringLiteral("MSFlexGrid"));
    total = form->findChild<QLabel*>(QStringLiteral("Total"));
    Choose(W("Solo"));
    Click("DeleteButton");
    EXPECT_EQ(grid->model()->rowCount(), 0);
    EXPECT_FALSE(grid->isEnabled());
    EXPECT_EQ(total->text(), W("0"));
    EXPECT_TRUE(Column(solo, W("G-Email")).isEmpty());
}

TEST_F(GroupManager, GroupChangesReachBothListsAndTheDatabase) {
    Choose(W("Friends"));
    OnNextModal([](QWidget* dialog) {
        SetText(dialog, "GroupNameTextBox", W("Neu"));
        dialog->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    Click("NewGroupButton");
    EXPECT_EQ(Items(groups), QStringList({W("Friends"), W("Empty"), W("Neu")}));
    EXPECT_EQ(Items(to.get()), Items(groups));
    EXPECT_EQ(groups->currentText(), W("Friends"));
    EXPECT_EQ(total->text(), W("3"));

    OnNextModal([](QWidget* dialog) {
        SetText(dialog, "GroupNameTextBox", W("Amigos"));
        dialog->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    Click("RenameGroupButton");
    EXPECT_EQ(GroupNames(), QStringList({W("Amigos"), W("Empty"), W("Neu")}));
    EXPECT_EQ(Items(to.get()), GroupNames());
    EXPECT_EQ(to->currentIndex(), 0);
    EXPECT_EQ(groups->currentIndex(), -1);
    EXPECT_EQ(total->text(), W("0"));
    EXPECT_EQ(grid->model()->rowCount(), 0);

    Choose(W("Amigos"));
    boxes.answer(QMessageBox::No);
    Click("DeleteGroupButton");
    EXPECT_EQ(boxes.last(), W("Are you sure you want to delete 'Amigos'?"));
    EXPECT_EQ(GroupNames().size(), 3);
    Click("DeleteGroupButton");
    EXPECT_EQ(GroupNames(), QStringList({W("Empty"), W("Neu")}));
    EXPECT_TRUE(Column(friends, W("G-Email")).isEmpty()); // its recipients went with it
    EXPECT_EQ(Items(groups), GroupNames());
    EXPECT_EQ(groups->currentIndex(), -1);
    EXPECT_EQ(Items(to.get()), GroupNames());
    EXPECT_EQ(to->currentText(), W("Empty"));
    EXPECT_EQ(total->text(), W("0"));
}

TEST_F(GroupManager, GroupDeleteIsAllOrNothing) {
    // A recipient delete that fails must take the group delete back with it.
    {
        Connection db;
        db.Open();
        db.ExecuteWrite(W(
            "CREATE TRIGGER [KeepEmails] BEFORE DELETE ON [Emails] BEGIN SELECT RAISE(ABORT, 'kept'); END"));
    }
    EXPECT_EQ(DeleteGroup(W("Friends")), StoreResult::Failed);
    EXPECT_EQ(GroupNames(), QStringList({W("Friends"), W("Empty")}));
    EXPECT_EQ(Column(friends, W("G-Email")).size(), 3);

    Choose(W("Friends"));
    Click("DeleteGroupButton");
    EXPECT_EQ(boxes.last(), W("The recipient database could not be updated."));
    EXPECT_EQ(Items(groups), GroupNames());
    EXPECT_EQ(total->text(), W("3"));
}

TEST_F(GroupManager, SearchFindsByEachComparisonAndResetsTheManagerAfterwards) {
    AddRecipients(friends, {{W("pct@example.com"), W("100% sure"), W("Zoë")},
                            {W("und@example.com"), W("a_b"), W("ZOË-Smith")},
                            {W("o'k@example.com"), W("O'Hara"), W("[x]")}});
    Choose(W("Friends"));
    OnNextModal([](QWidget* dialog) {
        auto* search = static_cast<RecipientSearchForm*>(dialog);
        auto* field = dialog->findChild<QComboBox*>(QStringLiteral("FieldComboBox"));
        auto* compare = dialog->findChild<QComboBox*>(QStringLiteral("CompareComboBox"));
        auto* grid = dialog->findChild<QTableView*>(QStringLiteral("MSFlexGrid"));
        EXPECT_EQ(field->currentText(), W("Email"));
        EXPECT_EQ(compare->currentText(), W("Equals"));
        const auto hits = [&](const char* f, const char* c, const QString& term) {
            field->setCurrentText(W(f));
            compare->setCurrentText(W(c));
            SetText(dialog, "EntryTextBox", term);
            search->SearchButton_Click();
            QStringList emails;
            for (int r = 0; r < grid->model()->rowCount(); ++r)
                emails << grid->model()->index(r, 3).data().toString().section(QLatin1Char('@'), 0, 0);
            return emails;
        };
        EXPECT_EQ(hits("Email", "Equals", W("BOB@example.com  ")), QStringList({W("bob")}));
        EXPECT_EQ(hits("Last Name", "Contains", W("ri")), QStringList({W("bob")}));
        EXPECT_EQ(hits("Last Name", "Starts with", W("p")), QStringList({W("cy")}));
        EXPECT_EQ(hits("Last Name", "Ends with", W("EE")), QStringList({W("ann")}));
        // "%", "_" and "[...]" in a term are patterns of the Like comparisons, also with letters beyond
        // ASCII; "Equals" takes them as they are. Quotes are found as typed.
        EXPECT_EQ(hits("First Name", "Starts with", W("1%e")), QStringList({W("pct")}));
        EXPECT_EQ(hits("Email", "Starts with", W("_o")), QStringList({W("bob")}));
        EXPECT_EQ(hits("Email", "Ends with", W("@_xample.com")).size(), 6);
        EXPECT_EQ(hits("Last Name", "Contains", W("oë%m_t")), QStringList({W("und")}));
        EXPECT_EQ(hits("First Name", "Equals", W("a_b")), QStringList({W("und")}));
        EXPECT_EQ(hits("First Name", "Equals", W("a%")), QStringList());
        EXPECT_EQ(hits("First Name", "Starts with", W("[a-b]")), QStringList({W("ann"), W("bob"), W("und")}));
        EXPECT_EQ(hits("First Name", "Starts with", W("[!a-c]")), QStringList({W("pct"), W("o'k")}));
        EXPECT_EQ(hits("Last Name", "Ends with", W("[ëxy]")), QStringList({W("pct")}));
        EXPECT_EQ(hits("Last Name", "Contains", W("[[]x")), QStringList({W("o'k")}));
        EXPECT_EQ(hits("Last Name", "Equals", W("[x]")), QStringList({W("o'k")}));
        EXPECT_EQ(hits("Last Name", "Starts with", W("[")), QStringList());
        // A term far longer than any field finds nothing, whatever the database thinks of its length.
        EXPECT_EQ(hits("First Name", "Contains", QString(100000, QLatin1Char('a'))), QStringList());
        EXPECT_EQ(hits("First Name", "Contains", W("ë").repeated(100000)), QStringList());
        EXPECT_EQ(hits("Email", "Starts with", W("o'k")), QStringList({W("o'k")}));
        EXPECT_EQ(hits("First Name", "Equals", W("o'hara")), QStringList({W("o'k")}));
        // Letter case is ignored beyond ASCII too.
        EXPECT_EQ(hits("Last Name", "Starts with", W("zoë")), QStringList({W("pct"), W("und")}));
        EXPECT_EQ(hits("Last Name", "Equals", W("ZOË")), QStringList({W("pct")}));
        EXPECT_EQ(hits("Last Name", "Contains", W("nobody")), QStringList());
        EXPECT_FALSE(grid->isEnabled());
    });
    Click("SearchButton");
    EXPECT_EQ(groups->currentIndex(), -1);
    EXPECT_EQ(grid->model()->rowCount(), 0);
    EXPECT_EQ(total->text(), W("0"));
}

TEST_F(GroupManager, SearchWindowModifiesAndDeletesItsHits) {
    RecipientSearchForm search(W("Friends"));
    search.ModifyButton_Click();
    search.DeleteButton_Click();
    search.SearchButton_Click();
    EXPECT_EQ(boxes.texts(),
              QStringList({W("Please specify an email address."), W("Please specify an email address."),
                           W("Please enter your search term.")}));

    auto* grid = search.findChild<QTableView*>(QStringLiteral("MSFlexGrid"));
    search.findChild<QComboBox*>(QStringLiteral("CompareComboBox"))->setCurrentText(W("Contains"));
    SetText(&search, "EntryTextBox", W("example"));
    search.SearchButton_Click();
    ASSERT_EQ(grid->model()->rowCount(), 3);
    grid->setCurrentIndex(grid->model()->index(2, 1));
    OnNextModal([](QWidget* dialog) {
        EXPECT_EQ(dialog->objectName(), W("RecipientModifyForm2"));
        SetText(dialog, "EmailTextBox", W("cyrus@elsewhere.org"));
        dialog->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    search.ModifyButton_Click();
    EXPECT_EQ(grid->model()->index(2, 3).data().toString(), W("cyrus@elsewhere.org"));
    EXPECT_EQ(Column(friends, W("G-Email")).last(), W("cyrus@elsewhere.org"));

    grid->setCurrentIndex(grid->model()->index(0, 1));
    search.DeleteButton_Click();
    EXPECT_EQ(boxes.last(), W("Are you sure you want to delete 'ann@example.com'?"));
    EXPECT_EQ(Column(friends, W("G-Email")), QStringList({W("bob@example.com"), W("cyrus@elsewhere.org")}));
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), W("1"));
    EXPECT_EQ(grid->model()->index(0, 3).data().toString(), W("bob@example.com"));
}

TEST_F(GroupManager, RowsAreColouredAlternatelyFromTheFirstDataRow) {
    Choose(W("Friends"));
    form->resize(820, 480);
    form->show();
    QApplication::processEvents();
    const auto colourOf = [&](int row, int column) {
        const QImage image = grid->viewport()->grab().toImage();
        const QRect cell = grid->visualRect(grid->model()->index(row, column));
        return image.pixelColor(cell.center().x(), cell.top() + 2);
    };
    // The first row is the current one and shows the selection colour.
    EXPECT_EQ(colourOf(0, 1), GridSelectionColor);
    EXPECT_EQ(colourOf(1, 1), GridEvenRowColor);
    EXPECT_EQ(colourOf(2, 3), GridOddRowColor);
    EXPECT_EQ(colourOf(1, 0), GridFixedColor);
    grid->setCurrentIndex(grid->model()->index(1, 1));
    EXPECT_EQ(colourOf(0, 2), GridOddRowColor);
    EXPECT_EQ(colourOf(1, 1), GridSelectionColor);
    // The number column is fixed: a selection never colours it.
    EXPECT_EQ(colourOf(1, 0), GridFixedColor);
    form->hide();
}

TEST_F(GroupManager, ALargeGroupLoadsQuicklyAndCanBeClosedWhileLoading) {
    const qint32 big = AddGroup(W("Big"));
    {
        Connection db;
        db.Open();
        db.BeginTransaction();
        for (int i = 0; i < 40000; ++i)
            db.ExecuteWrite(
                W("INSERT INTO [Emails] ([G-ID], [G-Email], [G-FirstName]) VALUES (%1, 'r%2@x.com', 'R%2')")
                    .arg(big)
                    .arg(i));
        db.Commit();
    }
    form = std::make_unique<GroupManagerForm>();
    groups = form->findChild<QComboBox*>(QStringLiteral("GroupComboBox"));
    grid = form->findChild<QTableView*>(QStringLiteral("MSFlexGrid"));
    total = form->findChild<QLabel*>(QStringLiteral("Total"));
    form->show();

    // The window keeps answering while it loads: the progress shows and only Close is enabled.
    bool sawLoading = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!form->IsLoading())
            return;
        sawLoading = true;
        EXPECT_EQ(total->text(), W("Reading Group"));
        EXPECT_TRUE(form->findChild<QProgressBar*>(QStringLiteral("ProgressBar"))->isVisible());
        EXPECT_FALSE(form->findChild<QPushButton*>(QStringLiteral("AddButton"))->isEnabled());
        EXPECT_TRUE(form->findChild<QPushButton*>(QStringLiteral("CloseButton"))->isEnabled());
    });
    probe.start(0);
    const qint64 cpu = testenv::ProcessorMilliseconds();
    Choose(W("Big"));
    const qint64 loadMs = testenv::ProcessorMilliseconds() - cpu;
    probe.stop();
    EXPECT_TRUE(sawLoading);
    // A fifth of a second of processor time here. 10 s is a quarter of a millisecond per row (a
    // statement, a repaint or a pass of the event loop for each), or work that grows faster than the group.
    EXPECT_LT(loadMs, 10000);
    EXPECT_EQ(total->text(), W("40000"));
    EXPECT_EQ(grid->model()->index(39999, 0).data().toString(), W("40000"));
    EXPECT_EQ(grid->model()->index(39999, 3).data().toString(), W("r39999@x.com"));
    EXPECT_EQ(form->findChild<QProgressBar*>(QStringLiteral("ProgressBar"))->maximum(), 40000);

    // Close pressed during the load stops it; the window is not harmed.
    QTimer::singleShot(0, [&] { form->findChild<QPushButton*>(QStringLiteral("CloseButton"))->click(); });
    Choose(W("Big"));
    EXPECT_FALSE(form->IsLoading());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(grid->model()->rowCount(), 0);
    EXPECT_EQ(total->text(), W("0"));

    // Even a window destroyed during its own load leaves nothing dangling.
    form->show();
    GroupManagerForm* raw = form.release();
    QTimer::singleShot(0, [raw] { delete raw; });
    raw->findChild<QComboBox*>(QStringLiteral("GroupComboBox"))->setCurrentIndex(2);
    raw->LoadGroupRecipients();
    form = std::make_unique<GroupManagerForm>();
}

TEST_F(GroupManager, LoadedRowsShowEveryTextAsStored) {
    const QString longName = W("Ærøskøbing-").repeated(30);
    const qint32 mixed = AddGroup(W("Mixed"));
    AddRecipients(mixed, {{W("zoë@exämple.de"), W("Zoë"), W("")},
                          {W("taro@example.jp"), longName, W("山田 🙂")},
                          {W("empty@example.com"), W(""), W("")}});
    form = std::make_unique<GroupManagerForm>();
    groups = form->findChild<QComboBox*>(QStringLiteral("GroupComboBox"));
    grid = form->findChild<QTableView*>(QStringLiteral("MSFlexGrid"));
    total = form->findChild<QLabel*>(QStringLiteral("Total"));
    Choose(W("Mixed"));
    EXPECT_EQ(total->text(), W("3"));
    EXPECT_EQ(GridColumn(1), QStringList({W("Zoë"), longName, W("")}));
    EXPECT_EQ(GridColumn(2), QStringList({W(""), W("山田 🙂"), W("")}));
    EXPECT_EQ(GridColumn(3),
              QStringList({W("zoë@exämple.de"), W("taro@example.jp"), W("empty@example.com")}));
}

// A group whose rows cannot all be read is never shown as if whole: the grid and the search say that
// their list is incomplete, and how many rows it holds.
TEST_F(GroupManager, AGroupThatCannotBeReadToItsEndIsShownAsIncomplete) {
    const QString large = W("Large");
    testenv::ZeroPages(UserDatabasePath(), testenv::FillGroupDatabase(large, 3000), 0.1, 1);
    const QString malformed = W("database disk image is malformed");
    form = std::make_unique<GroupManagerForm>();
    groups = form->findChild<QComboBox*>(QStringLiteral("GroupComboBox"));
    grid = form->findChild<QTableView*>(QStringLiteral("MSFlexGrid"));
    Choose(large);
    EXPECT_LT(grid->model()->rowCount(), 3000);
    EXPECT_EQ(boxes.texts(), QStringList{IncompleteListText(grid->model()->rowCount(), malformed)});

    RecipientSearchForm search(large);
    SetText(&search, "EntryTextBox", W("Name"));
    search.findChild<QComboBox*>(QStringLiteral("FieldComboBox"))->setCurrentText(W("First Name"));
    search.findChild<QComboBox*>(QStringLiteral("CompareComboBox"))->setCurrentText(W("Starts with"));
    search.SearchButton_Click();
    const int hits = search.findChild<QTableView*>(QStringLiteral("MSFlexGrid"))->model()->rowCount();
    EXPECT_EQ(boxes.texts().size(), 2);
    EXPECT_EQ(boxes.last(), IncompleteListText(hits, malformed));
}
