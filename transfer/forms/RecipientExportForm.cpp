#include "transfer/forms/RecipientExportForm.h"

#include "transfer/ImportText.h"
#include "transfer/RecipientExporter.h"
#include "ui/FieldLabels.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"
#include "ui/OutputFiles.h"
#include "ui/WindowConventions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace {
constexpr int kRowHeight = 20;
} // namespace

RecipientExportForm::RecipientExportForm(QWidget* parent) : TransferRunDialog(parent) {
    SetUpDialog(this, QStringLiteral("Export Recipients"), QStringLiteral("Group Manager 3.htm"));
    setFixedSize(480, 600);
    buildChoices();
    buildFieldList();
    buildDelimiterAndButtons();
    connectControls();
    loadValues();
}

void RecipientExportForm::buildChoices() {
    m_label1 = placedLabel("Label1", QStringLiteral("Group to Export :"), 12, 6, 200);
    m_groupComboBox = new QComboBox(this);
    m_groupComboBox->setObjectName(QStringLiteral("GroupComboBox"));
    m_groupComboBox->setGeometry(12, 24, 454, 22);
    m_label2 = placedLabel("Label2", QStringLiteral("Export the data to file :"), 12, 52, 250);
    m_browseTextBox = new QLineEdit(this);
    m_browseTextBox->setObjectName(QStringLiteral("BrowseTextBox"));
    m_browseTextBox->setReadOnly(true);
    m_browseTextBox->setGeometry(12, 70, 356, 22);
    m_browseButton = placedButton("BrowseButton", QStringLiteral("Browse"), 378, 68);

    m_label3 = placedLabel("Label3", QStringLiteral("Field(s) to Export :"), 12, 100, 120);
    m_radioButton1 = new QRadioButton(QStringLiteral("Only Email Address"), this);
    m_radioButton1->setObjectName(QStringLiteral("RadioButton1"));
    m_radioButton1->setGeometry(140, 98, 150, 22);
    m_radioButton2 = new QRadioButton(QStringLiteral("Select Fields"), this);
    m_radioButton2->setObjectName(QStringLiteral("RadioButton2"));
    m_radioButton2->setGeometry(300, 98, 150, 22);
}

void RecipientExportForm::buildFieldList() {
    m_listFields = new QListWidget(this);
    m_listFields->setObjectName(QStringLiteral("ListFields"));
    m_listFields->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listFields->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listFields->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listFields->setUniformItemSizes(true);
    m_listFields->setGeometry(12, 126, 300, 18 * kRowHeight + 2 * m_listFields->frameWidth());
    for (int k = 0; k < 18; ++k) {
        auto* item = new QListWidgetItem(ExportRowLabel(k), m_listFields);
        item->setSizeHint(QSize(0, kRowHeight));
    }
    // The check boxes lie over the left end of the rows and stay there when rows move. They belong to
    // the window, not to the list: a list shows screen readers its rows only, never widgets inside it.
    const QPoint rows =
        m_listFields->geometry().topLeft() + QPoint(m_listFields->frameWidth(), m_listFields->frameWidth());
    for (int k = 0; k < 18; ++k) {
        auto* box = new QCheckBox(this);
        box->setObjectName(QStringLiteral("CheckBox"));
        box->setProperty("index", k);
        box->setGeometry(rows.x() + 3, rows.y() + k * kRowHeight + 2, 18, kRowHeight - 4);
        box->raise();
        m_checkBoxes[size_t(k)] = box;
    }
    m_upButton = placedButton("UpButton", QStringLiteral("Move Row Up"), 326, 126, 140);
    m_downButton = placedButton("DownButton", QStringLiteral("Move Row Down"), 326, 158, 140);
    m_selectPushButton = placedButton("SelectPushButton", QStringLiteral("Select All"), 326, 206, 140);
    m_unselectPushButton = placedButton("UnselectPushButton", QStringLiteral("Unselect All"), 326, 238, 140);
}

void RecipientExportForm::buildDelimiterAndButtons() {
    const int below = m_listFields->geometry().bottom() + 10;
    m_label4 = placedLabel("Label4", QStringLiteral("Data Delimiter :"), 12, below + 3, 100);
    m_delimitComboBox = new QComboBox(this);
    m_delimitComboBox->setObjectName(QStringLiteral("DelimitComboBox"));
    m_delimitComboBox->setGeometry(116, below, 120, 22);

    // Each box is named by its label (buddy and accessible name); the field list and its check boxes,
    // which have no label of their own, get names.
    NameAfterLabel(m_label1, m_groupComboBox);
    NameAfterLabel(m_label2, m_browseTextBox);
    NameAfterLabel(m_label4, m_delimitComboBox);
    NameControl(m_listFields, QStringLiteral("Fields to Export"));
    for (int k = 0; k < 18; ++k)
        NameControl(m_checkBoxes[size_t(k)], QStringLiteral("Export row %1").arg(k + 1));

    addProgressFrame(QStringLiteral("Export Progress"), below + 30);
    m_exportButton = placedButton("ExportButton", QStringLiteral("Export"), 282, below + 92);
    m_cancelButton = placedButton("CancelButton", QStringLiteral("Cancel"), 378, below + 92);
    setStartButton(m_exportButton);
    setFixedSize(480, below + 126);
}

void RecipientExportForm::connectControls() {
    connect(m_browseButton, &QPushButton::clicked, this, &RecipientExportForm::browse);
    followModeButtons(
        m_radioButton1, [this] { chooseEmailOnly(); }, m_radioButton2, [this] { chooseFields(); });
    connect(m_listFields, &QListWidget::currentRowChanged, this, &RecipientExportForm::listClicked);
    connect(m_listFields, &QListWidget::itemClicked, this, &RecipientExportForm::listClicked);
    connect(m_listFields, &QListWidget::itemDoubleClicked, this, &RecipientExportForm::toggleSelectedRow);
    connect(m_upButton, &QPushButton::clicked, this, &RecipientExportForm::moveRowUp);
    connect(m_downButton, &QPushButton::clicked, this, &RecipientExportForm::moveRowDown);
    connect(m_selectPushButton, &QPushButton::clicked, this, &RecipientExportForm::selectAll);
    connect(m_unselectPushButton, &QPushButton::clicked, this, &RecipientExportForm::unselectAll);
    connect(m_exportButton, &QPushButton::clicked, this, &RecipientExportForm::exportRecipients);
    connect(m_cancelButton, &QPushButton::clicked, this, &RecipientExportForm::cancelClicked);
}

void RecipientExportForm::loadValues() {
    hookFileBox(m_browseTextBox);
    m_delimitComboBox->addItems(DelimiterNames());
    m_delimitComboBox->setCurrentIndex(0);
    m_radioButton1->setChecked(true); // which sets the controls of mode 1
    fillGroupList(m_groupComboBox);
}

void RecipientExportForm::browse() {
    const QString path = GetSaveFileName(this, QStringLiteral("Export Recipients"),
                                         QStringLiteral("Text Files (*.txt);;All Files (*)"));
    if (path.isEmpty() || !ConfirmUnlockedOutput(this, path))
        return;
    m_browseTextBox->setText(path);
}

void RecipientExportForm::chooseEmailOnly() {
    for (QCheckBox* box : m_checkBoxes) {
        box->setChecked(false);
        box->setEnabled(false);
    }
    m_listFields->setCurrentRow(-1);
    m_listFields->clearSelection();
    m_listFields->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{m_upButton, m_downButton, m_selectPushButton,
                                                      m_unselectPushButton, m_label4})
        w->setEnabled(false);
    m_delimitComboBox->setCurrentIndex(0);
    m_delimitComboBox->setEnabled(false);
}

void RecipientExportForm::chooseFields() {
    for (QCheckBox* box : m_checkBoxes)
        box->setEnabled(true);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_listFields, m_upButton, m_downButton, m_selectPushButton,
                                         m_unselectPushButton, m_label4, m_delimitComboBox})
        w->setEnabled(true);
}

// The selected position, -1 for none. The list's current row is not enough: a row that only has the
// focus (as Tab gives it) is not selected, and the buttons must leave it where it is.
int RecipientExportForm::selectedRow() const {
    const int row = m_listFields->currentRow();
    return row >= 0 && m_listFields->item(row)->isSelected() ? row : -1;
}

void RecipientExportForm::listClicked() {
    const int row = selectedRow();
    if (row < 0)
        return;
    m_upButton->setEnabled(row != 0);
    m_downButton->setEnabled(row != 17);
}

void RecipientExportForm::toggleSelectedRow() {
    const int row = selectedRow();
    if (row >= 0)
        m_checkBoxes[size_t(row)]->toggle();
}

void RecipientExportForm::moveRow(int step) {
    const int i = selectedRow();
    const int j = i + step;
    if (i < 0 || j < 0 || j > 17)
        return;
    QCheckBox* a = m_checkBoxes[size_t(i)];
    QCheckBox* b = m_checkBoxes[size_t(j)];
    if (a->isChecked() != b->isChecked()) {
        const bool checked = a->isChecked();
        a->setChecked(b->isChecked());
        b->setChecked(checked);
    }
    const QString label = m_listFields->item(i)->text();
    m_listFields->item(i)->setText(m_listFields->item(j)->text());
    m_listFields->item(j)->setText(label);
    m_listFields->setCurrentRow(j);
    listClicked();
}

void RecipientExportForm::moveRowUp() {
    moveRow(-1);
}

void RecipientExportForm::moveRowDown() {
    moveRow(1);
}

void RecipientExportForm::selectAll() {
    for (QCheckBox* box : m_checkBoxes)
        box->setChecked(true);
}

void RecipientExportForm::unselectAll() {
    for (QCheckBox* box : m_checkBoxes)
        box->setChecked(false);
}

void RecipientExportForm::disableExportControls() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_label1, m_groupComboBox, m_label2, m_browseTextBox, m_browseButton,
                                         m_label3, m_radioButton1, m_radioButton2, m_listFields})
        w->setEnabled(false);
    for (QCheckBox* box : m_checkBoxes)
        box->setEnabled(false);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_upButton, m_downButton, m_selectPushButton, m_unselectPushButton,
                                         m_label4, m_delimitComboBox, m_exportButton})
        w->setEnabled(false);
}

void RecipientExportForm::enableExportControls() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_label1, m_groupComboBox, m_label2, m_browseTextBox, m_browseButton,
                                         m_label3, m_radioButton1, m_radioButton2})
        w->setEnabled(true);
    if (m_radioButton2->isChecked())
        chooseFields();
    m_exportButton->setEnabled(true);
}

void RecipientExportForm::exportRecipients() {
    if (m_groupComboBox->count() == 0) {
        ShowMessage(this, QStringLiteral("There is no group to export."), QMessageBox::Warning);
        return;
    }
    if (m_groupComboBox->currentText().isEmpty()) {
        ShowMessage(this, QStringLiteral("Please select a group."), QMessageBox::Warning);
        return;
    }
    if (m_browseTextBox->text().isEmpty()) {
        ShowMessage(this, QStringLiteral("Please specify a file."), QMessageBox::Warning);
        return;
    }
    ExportOptions options;
    options.mode = m_radioButton2->isChecked() ? ExportMode::Fields : ExportMode::EmailOnly;
    if (options.mode == ExportMode::Fields) {
        for (int k = 0; k < 18; ++k)
            if (m_checkBoxes[size_t(k)]->isChecked())
                options.columns << ColumnForExportRowLabel(m_listFields->item(k)->text());
        if (options.columns.isEmpty()) {
            ShowMessage(this, QStringLiteral("Please select at least one field to export."),
                        QMessageBox::Warning);
            return;
        }
    }
    options.groupName = m_groupComboBox->currentText();
    options.outputPath = m_browseTextBox->text();
    options.delimiter = DelimiterForName(m_delimitComboBox->currentText());

    const ExportRunHooks hooks = startRun<ExportRunHooks>();
    disableExportControls();
    const ExportResult result = RecipientExporter(options).Run(hooks);
    switch (result.status) {
    case ExportResult::Status::GroupNotFound:
        ShowMessage(this, QStringLiteral("The selected group could not be found."), QMessageBox::Warning);
        break;
    case ExportResult::Status::WriteFailed:
        ShowMessage(this, QStringLiteral("The output file could not be written."), QMessageBox::Warning);
        break;
    case ExportResult::Status::ReadFailed:
        ShowMessage(this, QStringLiteral("The recipients of the selected group could not be read."),
                    QMessageBox::Warning);
        break;
    case ExportResult::Status::Completed:
    case ExportResult::Status::Cancelled:
        ShowMessage(this,
                    QString::number(result.count) + QStringLiteral(" recipients exported successfully."),
                    QMessageBox::Information);
        break;
    }
    enableExportControls();
}

bool RecipientExportForm::askToCancel() {
    return ShowMessage(this, QStringLiteral("Are you sure you want to cancel the export process?"),
                       QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
