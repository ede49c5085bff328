#include "recipients/forms/TransferWindows.h"
#include "tests/support/DialogAnswers.h"
#include "tests/transfer/TransferFixture.h"
#include "transfer/RecipientImporter.h"
#include "transfer/forms/RecipientExportForm.h"
#include "transfer/forms/RecipientImportForm.h"
#include "transfer/forms/RegisterTransferWindows.h"
#include "ui/ShellOpener.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>

namespace {

template <typename T>
T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QLatin1String(name));
    EXPECT_NE(nullptr, c) << name;
    return c;
}

class Windows : public TransferFixture {
protected:
    void SetUp() override {
        TransferFixture::SetUp();
        addGroup(QStringLiteral("Clients"));
        id = addGroup(QStringLiteral("Friends"));
        SetFileOpenerForTesting([this](const QString& path) {
            opened << path;
            return true;
        });
    }
    void TearDown() override { SetFileOpenerForTesting(nullptr); }

    // Picks the file and the group, as the user would.
    void choose(RecipientImportForm& form, const QString& path, const QString& group) {
        testenv::FileDialogAnswers files;
        files.answer(path);
        form.browse();
        child<QComboBox>(&form, "DataComboBox")->setCurrentText(group);
    }

    testenv::MessageBoxRecorder boxes;
    QStringList opened;
    qint32 id = 0;
};

TEST_F(Windows, ImportPreviewOffersTheFirstLineAndTheChecksComeInOrder) {
    RecipientImportForm form;
    auto* groups = child<QComboBox>(&form, "DataComboBox");
    EXPECT_EQ(QStringList({"Clients", "Friends"}), QStringList({groups->itemText(0), groups->itemText(1)}));
    EXPECT_EQ(QString(), groups->currentText());
    EXPECT_TRUE(child<QRadioButton>(&form, "RadioButton1")->isChecked());
    EXPECT_FALSE(form.mappingBox(0)->isEnabled());

    form.startImport();
    form.getData();
    EXPECT_EQ(QStringList({"Please specify a file.", "Please specify a file."}), boxes.texts());

    choose(form, writeFile(QStringLiteral("p.txt"), "\xEF\xBB\xBFx;y;z\r\nsecond;line"), QString());
    child<QRadioButton>(&form, "RadioButton2")->click();
    form.startImport();
    EXPECT_EQ(QStringLiteral("Please select a group."), boxes.last());
    groups->setCurrentIndex(1);
    form.startImport();
    EXPECT_EQ(QStringLiteral("There is no data to import."), boxes.last());

    child<QComboBox>(&form, "DelimitComboBox")->setCurrentText(QStringLiteral("Semicolon"));
    form.getData();
    for (int r = 0; r < 18; ++r) {
        QComboBox* box = form.mappingBox(r);
        ASSERT_EQ(4, box->count());
        EXPECT_EQ(0, box->currentIndex());
    }
    EXPECT_EQ(QStringLiteral("Field 1 = x"), form.mappingBox(17)->itemText(1));
    EXPECT_EQ(QStringLiteral("Field 3 = z"), form.mappingBox(17)->itemText(3));
    form.startImport();
    EXPECT_EQ(QStringLiteral("Please select at least one field to import."), boxes.last());
    form.mappingBox(2)->setCurrentIndex(1);
    form.startImport();
    EXPECT_EQ(QStringLiteral("Email Address field is required."), boxes.last());

    // A line of 20 fields offers 18.
    choose(form, writeFile(QStringLiteral("w.txt"), QByteArray("a,").repeated(19) + "t"),
           QStringLiteral("Friends"));
    child<QComboBox>(&form, "DelimitComboBox")->setCurrentText(QStringLiteral("Comma"));
    form.getData();
    EXPECT_EQ(19, form.mappingBox(0)->count());
    EXPECT_EQ(QStringLiteral("Field 18 = a"), form.mappingBox(0)->itemText(18));

    // Back to "Only Email Address" throws the mapping away.
    child<QRadioButton>(&form, "RadioButton1")->click();
    child<QRadioButton>(&form, "RadioButton2")->click();
    EXPECT_EQ(0, form.mappingBox(0)->count());
    EXPECT_TRUE(form.mappingBox(0)->isEnabled());

    // Twelve rows 300 twips apart from the scroll position.
    child<QScrollBar>(&form, "VScrollBar")->setValue(3);
    EXPECT_TRUE(form.mappingLabel(2)->isHidden());
    EXPECT_FALSE(form.mappingLabel(3)->isHidden());
    EXPECT_EQ(2715 / 15, form.mappingLabel(3)->y());
    EXPECT_EQ(2670 / 15, form.mappingBox(3)->y());
    EXPECT_EQ(6015 / 15, form.mappingLabel(14)->y());
    EXPECT_EQ(5970 / 15, form.mappingBox(14)->y());
    EXPECT_TRUE(form.mappingBox(15)->isHidden());
    EXPECT_EQ(QStringLiteral("Last Name :"), form.mappingLabel(3)->text());
}

TEST_F(Windows, ImportRunsAfterConfirmationAndSetsTheHandBack) {
    RecipientImportForm form;
    // The last record spans lines and holds more fields than the first one offered: it is refused.
    choose(form,
           writeFile(QStringLiteral("l.txt"), "zoe@example.com,Zoë\r\nobrien@example.com,O'Brien\r\n"
                                              "x@example.com,\"a\r\nb\",c\r\n"),
           QStringLiteral("Friends"));
    child<QRadioButton>(&form, "RadioButton2")->click();
    child<QComboBox>(&form, "DelimitComboBox")->setCurrentText(QStringLiteral("Comma"));
    child<QCheckBox>(&form, "QuotationCheckBox")->setChecked(true);
    form.getData();
    form.mappingBox(0)->setCurrentIndex(1);
    form.mappingBox(2)->setCurrentIndex(2);

    form.openReport();
    EXPECT_EQ(QStringLiteral("Report is not available for this session."), boxes.last());

    boxes.answer(QMessageBox::Cancel);
    form.startImport();
    EXPECT_FALSE(form.importRan());
    EXPECT_TRUE(emailsOf(id).isEmpty());
    EXPECT_EQ(QMessageBox::Ok | QMessageBox::Cancel, boxes.seen().back().buttons);

    form.startImport();
    EXPECT_TRUE(form.importRan());
    EXPECT_EQ(QStringLiteral("1 invalid recipients ignored.\n0 duplicate recipients ignored.\n"
                             "2 recipients imported successfully."),
              boxes.last());
    EXPECT_EQ(QMessageBox::Information, boxes.seen().back().icon);
    EXPECT_EQ(QStringList({"zoe@example.com", "obrien@example.com"}), emailsOf(id));
    EXPECT_TRUE(child<QPushButton>(&form, "ImportButton")->isEnabled());
    EXPECT_TRUE(form.mappingBox(0)->isEnabled());
    form.openReport();
    EXPECT_EQ(QStringList({ImportReportPath()}), opened);

    // Without a program to show it the button must still say where the report is, not do nothing.
    SetFileOpenerForTesting([](const QString&) { return false; });
    const size_t seen = boxes.seen().size();
    form.openReport();
    ASSERT_EQ(seen + 1, boxes.seen().size());
    EXPECT_EQ(QMessageBox::Warning, boxes.seen().back().icon);
    EXPECT_TRUE(boxes.last().contains(ImportReportPath())) << boxes.last().toStdString();

    // A confirmed run whose group has gone still hands back, so the Group Manager shows the truth.
    ASSERT_EQ(1, db.ExecuteWrite(QStringLiteral("DELETE FROM [Groups] WHERE [GroupName] = 'Friends'")));
    form.startImport();
    EXPECT_EQ(QStringLiteral("The selected group could not be found."), boxes.last());
    EXPECT_TRUE(form.importRan());
    EXPECT_TRUE(child<QPushButton>(&form, "ImportButton")->isEnabled());
}

TEST_F(Windows, CancelOrCloseDuringAnImportStopsItCleanlyWithTheReport) {
    QByteArray bytes;
    for (int i = 0; i < 500; ++i)
        bytes += "r" + QByteArray::number(i) + "@example.com\n";
    RecipientImportForm form;
    form.show();
    choose(form, writeFile(QStringLiteral("many.txt"), bytes), QStringLiteral("Friends"));

    // The close box and Escape during the run never close the window; the close box asks, "No" goes on.
    boxes.answer(QMessageBox::Ok);  // opt-in confirmation
    boxes.answer(QMessageBox::No);  // close box: keep going
    boxes.answer(QMessageBox::Yes); // Cancel button: stop
    QTimer::singleShot(0, &form, [&] {
        form.close();
        form.reject();
        EXPECT_TRUE(form.isVisible());
        EXPECT_FALSE(form.importCancelRequested());
        QTimer::singleShot(0, &form, [&] { child<QPushButton>(&form, "CancelButton")->click(); });
    });
    form.startImport();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(QStringLiteral("Are you sure you want to cancel the import process?"), boxes.texts().at(1));
    const qint32 added = qint32(emailsOf(id).size());
    EXPECT_GT(added, 0);
    EXPECT_LT(added, 500);
    EXPECT_TRUE(reportText().endsWith(QStringLiteral("Added : %1\r\nDuplicates : 0\r\n\r\n"
                                                     "----------------\r\nImport Completed")
                                          .arg(added)));
    EXPECT_TRUE(boxes.last().endsWith(QStringLiteral("\n%1 recipients imported successfully.").arg(added)));

    // Idle, Cancel closes.
    child<QPushButton>(&form, "CancelButton")->click();
    EXPECT_FALSE(form.isVisible());
}

TEST_F(Windows, ExportRowsMoveWithTheirCheckMarks) {
    db.ExecuteWrite(QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email], [G-FirstName], [G-LastName]) "
                                   "VALUES (%1, 'zoe@example.com', 'Zoë', 'Łódź')")
                        .arg(id));
    RecipientExportForm form;
    auto* list = child<QListWidget>(&form, "ListFields");
    auto* up = child<QPushButton>(&form, "UpButton");
    EXPECT_FALSE(list->isEnabled());
    EXPECT_EQ(QStringLiteral("    Email Address"), list->item(0)->text());

    form.exportRecipients();
    child<QComboBox>(&form, "GroupComboBox")->setCurrentText(QStringLiteral("Friends"));
    form.exportRecipients();
    testenv::FileDialogAnswers files;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    files.answer(path);
    form.browse();
    child<QRadioButton>(&form, "RadioButton2")->click();
    form.exportRecipients();
    EXPECT_EQ(QStringList({"Please select a group.", "Please specify a file.",
                           "Please select at least one field to export."}),
              boxes.texts());

    form.checkBox(2)->setChecked(true); // First Name
    form.checkBox(3)->setChecked(true); // Last Name
    list->setCurrentRow(3);
    up->click(); // Last Name above First Name, the check marks with them
    EXPECT_EQ(QStringLiteral("    Last Name"), list->item(2)->text());
    EXPECT_TRUE(form.checkBox(2)->isChecked() && form.checkBox(3)->isChecked());
    list->setCurrentRow(0);
    EXPECT_FALSE(up->isEnabled());
    up->click();
    EXPECT_EQ(QStringLiteral("    Email Address"), list->item(0)->text());

    child<QComboBox>(&form, "DelimitComboBox")->setCurrentText(QStringLiteral("Semicolon"));
    form.exportRecipients();
    EXPECT_EQ(QStringLiteral("1 recipients exported successfully."), boxes.last());
    EXPECT_EQ(QStringLiteral("Łódź;Zoë\r\n").toUtf8(), readFile(path));

    // Back to "Only Email Address" and again: marks gone, "Tab" again, order kept.
    child<QRadioButton>(&form, "RadioButton1")->click();
    child<QRadioButton>(&form, "RadioButton2")->click();
    EXPECT_FALSE(form.checkBox(2)->isChecked());
    EXPECT_EQ(QStringLiteral("Tab"), child<QComboBox>(&form, "DelimitComboBox")->currentText());
    EXPECT_EQ(QStringLiteral("    Last Name"), list->item(2)->text());

    // Rows move only when one is selected, never past either end; a mark moves only with its row.
    auto* down = child<QPushButton>(&form, "DownButton");
    const auto labels = [list] {
        QStringList texts;
        for (int k = 0; k < list->count(); ++k)
            texts << list->item(k)->text();
        return texts;
    };
    const QStringList order = labels();
    form.checkBox(0)->setChecked(true);
    down->click();                                         // nothing selected after the mode switch
    list->setCurrentRow(0, QItemSelectionModel::NoUpdate); // focus on a row, as Tab gives it: not selected
    down->click();
    list->setCurrentRow(17);
    down->click();
    EXPECT_EQ(order, labels());
    EXPECT_TRUE(form.checkBox(0)->isChecked());
    EXPECT_FALSE(form.checkBox(1)->isChecked() || form.checkBox(17)->isChecked());
    EXPECT_FALSE(down->isEnabled());

    // A file that cannot be written is reported, not counted as exported.
    files.answer(dir.filePath(QStringLiteral("missing/dir/out.txt")));
    form.browse();
    child<QRadioButton>(&form, "RadioButton1")->click();
    form.exportRecipients();
    EXPECT_EQ(QStringLiteral("The output file could not be written."), boxes.last());
    EXPECT_TRUE(child<QPushButton>(&form, "ExportButton")->isEnabled());
}

namespace {
// The check boxes a screen reader finds below the window, in tree order.
void CollectCheckBoxes(QAccessibleInterface* node, QList<QAccessibleInterface*>& found, int depth = 0) {
    if (!node || depth > 20)
        return;
    if (node->role() == QAccessible::CheckBox)
        found << node;
    for (int i = 0; i < node->childCount(); ++i)
        CollectCheckBoxes(node->child(i), found, depth + 1);
}
} // namespace

TEST_F(Windows, TheExportFieldBoxesAreSeenWithTheirMarksByScreenReaders) {
    RecipientExportForm form;
    form.show();
    child<QRadioButton>(&form, "RadioButton2")->click();
    form.checkBox(2)->setChecked(true);
    form.checkBox(17)->setChecked(true);
    QList<QAccessibleInterface*> boxes;
    CollectCheckBoxes(QAccessible::queryAccessibleInterface(&form), boxes);
    ASSERT_EQ(18, boxes.size());
    const auto row = [&boxes](int k) -> QAccessibleInterface* {
        for (QAccessibleInterface* b : boxes)
            if (b->text(QAccessible::Name) == QStringLiteral("Export row %1").arg(k + 1))
                return b;
        return nullptr;
    };
    for (int k = 0; k < 18; ++k) {
        ASSERT_NE(nullptr, row(k)) << k;
        EXPECT_TRUE(row(k)->state().checkable) << k;
        EXPECT_EQ(k == 2 || k == 17, bool(row(k)->state().checked)) << k;
    }
    // Checked through the tree, as a screen reader does it, the row is exported.
    QAccessibleInterface* first = row(0);
    ASSERT_NE(nullptr, first->actionInterface());
    first->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(form.checkBox(0)->isChecked());
    EXPECT_TRUE(first->state().checked);
}

// A screen reader's Toggle checks the mode button without a click; the mode must follow all the same.
TEST_F(Windows, AScreenReadersToggleOfTheModeButtonsSwitchesTheMode) {
    const auto toggle = [](QWidget* button) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(button);
        ASSERT_NE(nullptr, node);
        ASSERT_NE(nullptr, node->actionInterface());
        node->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    };
    RecipientImportForm import;
    toggle(child<QRadioButton>(&import, "RadioButton2"));
    EXPECT_TRUE(import.mappingBox(0)->isEnabled());
    EXPECT_TRUE(child<QComboBox>(&import, "DelimitComboBox")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(&import, "GetDataButton")->isEnabled());
    toggle(child<QRadioButton>(&import, "RadioButton1"));
    EXPECT_FALSE(import.mappingBox(0)->isEnabled());

    RecipientExportForm exportForm;
    toggle(child<QRadioButton>(&exportForm, "RadioButton2"));
    EXPECT_TRUE(child<QListWidget>(&exportForm, "ListFields")->isEnabled());
    EXPECT_TRUE(exportForm.checkBox(0)->isEnabled());
    EXPECT_TRUE(child<QComboBox>(&exportForm, "DelimitComboBox")->isEnabled());
    toggle(child<QRadioButton>(&exportForm, "RadioButton1"));
    EXPECT_FALSE(exportForm.checkBox(0)->isEnabled());
}

TEST_F(Windows, TheGroupManagerButtonsOpenTheseWindows) {
    RegisterTransferWindows();
    ASSERT_TRUE(bool(OpenRecipientImportWindow()));
    ASSERT_TRUE(bool(OpenRecipientExportWindow()));
    const std::pair<QString, std::function<void()>> windows[] = {
        {QStringLiteral("Import Recipients"), [] { EXPECT_FALSE(OpenRecipientImportWindow()(nullptr)); }},
        {QStringLiteral("Export Recipients"), [] { OpenRecipientExportWindow()(nullptr); }},
    };
    for (const auto& [title, open] : windows) {
        QString caption;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(nullptr, modal);
            caption = modal->windowTitle();
            modal->close();
        });
        open();
        EXPECT_EQ(title, caption);
    }
}

} // namespace
