#include "transfer/forms/RecipientImportForm.h"

#include "transfer/ImportText.h"
#include "transfer/RecipientImporter.h"
#include "ui/FieldLabels.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"
#include "ui/ShellOpener.h"
#include "ui/WindowConventions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace {

// Positions of the mapping panel are kept in twips (15 to a pixel) so the rows sit 300 twips apart.
constexpr int px(int twips) {
    return twips / 15;
}

const char* const kRowCaptions[18] = {
    "Email Address :", "Title :",     "First Name :", "Last Name :",  "Country :",    "State :",
    "City :",          "Address 1 :", "Address 2 :",  "ZIP Code :",   "Phone :",      "Fax :",
    "Company :",       "Job Title :", "Web Site :",   "IP Address :", "Date Added :", "Additional :",
};

const QString kNoGroup = QStringLiteral("The selected group could not be found.");

} // namespace

RecipientImportForm::RecipientImportForm(QWidget* parent) : TransferRunDialog(parent) {
    SetUpDialog(this, QStringLiteral("Import Recipients"), QStringLiteral("Group Manager 2.htm"));
    setFixedSize(480, 530);
    buildChoices();
    buildMappingPanel();
    addProgressFrame(QStringLiteral("Import Progress"), 432);
    buildButtons();
    connectControls();
    loadValues();
}

void RecipientImportForm::buildChoices() {
    m_label1 = placedLabel("Label1", QStringLiteral("File to Import :"), 12, 6, 200);
    m_browseTextBox = new QLineEdit(this);
    m_browseTextBox->setObjectName(QStringLiteral("BrowseTextBox"));
    m_browseTextBox->setReadOnly(true);
    m_browseTextBox->setFrame(false);
    m_browseTextBox->setGeometry(12, 24, 356, 22);
    m_browseButton = placedButton("BrowseButton", QStringLiteral("Browse"), 378, 22);

    m_label2 = placedLabel("Label2", QStringLiteral("Import the data to group :"), 12, 50, 250);
    m_dataComboBox = new QComboBox(this);
    m_dataComboBox->setObjectName(QStringLiteral("DataComboBox"));
    m_dataComboBox->setGeometry(12, 68, 454, 22);

    m_label3 = placedLabel("Label3", QStringLiteral("Field(s) to Import :"), 12, 98, 120);
    m_radioButton1 = new QRadioButton(QStringLiteral("Only Email Address"), this);
    m_radioButton1->setObjectName(QStringLiteral("RadioButton1"));
    m_radioButton1->setGeometry(140, 96, 150, 22);
    m_radioButton2 = new QRadioButton(QStringLiteral("Select Fields"), this);
    m_radioButton2->setObjectName(QStringLiteral("RadioButton2"));
    m_radioButton2->setGeometry(300, 96, 150, 22);

    m_label4 = placedLabel("Label4", QStringLiteral("Data Delimiter :"), 12, 124, 100);
    m_delimitComboBox = new QComboBox(this);
    m_delimitComboBox->setObjectName(QStringLiteral("DelimitComboBox"));
    m_delimitComboBox->setGeometry(116, 121, 120, 22);
    m_getDataButton = placedButton("GetDataButton", QStringLiteral("Get Data"), 378, 119);
    m_quotationCheckBox =
        new QCheckBox(QStringLiteral("Input fields are enclosed in double quotation marks"), this);
    m_quotationCheckBox->setObjectName(QStringLiteral("QuotationCheckBox"));
    m_quotationCheckBox->setGeometry(12, 148, 454, 22);

    // Each box is named by its label: its buddy, and the name a screen reader gives it.
    NameAfterLabel(m_label1, m_browseTextBox);
    NameAfterLabel(m_label2, m_dataComboBox);
    NameAfterLabel(m_label4, m_delimitComboBox);
}

void RecipientImportForm::buildMappingPanel() {
    m_label5 = new QLabel(this);
    m_label5->setObjectName(QStringLiteral("Label5"));
    m_label5->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_label5->setGeometry(8, px(2670) - 6, 464, 12 * px(300) + 12);
    for (int r = 0; r < 18; ++r) {
        auto* l = new QLabel(QLatin1String(kRowCaptions[r]), this);
        l->setObjectName(QStringLiteral("Label%1").arg(r + 6));
        l->setGeometry(20, px(2715), 120, 16);
        auto* box = new QComboBox(this);
        box->setObjectName(QStringLiteral("ComboBox"));
        box->setProperty("index", r);
        box->setGeometry(146, px(2670), 290, 20);
        NameAfterLabel(l, box);
        m_labels[size_t(r)] = l;
        m_boxes[size_t(r)] = box;
    }
    m_vScrollBar = new QScrollBar(Qt::Vertical, this);
    m_vScrollBar->setObjectName(QStringLiteral("VScrollBar"));
    m_vScrollBar->setRange(0, 6);
    m_vScrollBar->setPageStep(1);
    m_vScrollBar->setGeometry(446, px(2670), 18, 12 * px(300));
}

void RecipientImportForm::buildButtons() {
    m_importButton = placedButton("ImportButton", QStringLiteral("Import"), 186, 494);
    m_reportButton = placedButton("ReportButton", QStringLiteral("Report"), 282, 494);
    m_cancelButton = placedButton("CancelButton", QStringLiteral("Cancel"), 378, 494);
    setStartButton(m_importButton);
}

void RecipientImportForm::connectControls() {
    connect(m_browseButton, &QPushButton::clicked, this, &RecipientImportForm::browse);
    followModeButtons(
        m_radioButton1, [this] { chooseEmailOnly(); }, m_radioButton2, [this] { chooseFields(); });
    connect(m_getDataButton, &QPushButton::clicked, this, &RecipientImportForm::getData);
    connect(m_vScrollBar, &QScrollBar::valueChanged, this, &RecipientImportForm::layoutMappingPanel);
    connect(m_importButton, &QPushButton::clicked, this, &RecipientImportForm::startImport);
    connect(m_reportButton, &QPushButton::clicked, this, &RecipientImportForm::openReport);
    connect(m_cancelButton, &QPushButton::clicked, this, &RecipientImportForm::cancelClicked);
}

void RecipientImportForm::loadValues() {
    hookFileBox(m_browseTextBox);
    m_delimitComboBox->addItems(DelimiterNames());
    m_delimitComboBox->setCurrentIndex(0);
    m_radioButton1->setChecked(true); // which sets the controls of mode 1
    layoutMappingPanel(0);
    fillGroupList(m_dataComboBox);
}

void RecipientImportForm::layoutMappingPanel(int value) {
    if (value < 0 || value > 6)
        return;
    for (int r = 0; r < 18; ++r) {
        QLabel* l = m_labels[size_t(r)];
        QComboBox* box = m_boxes[size_t(r)];
        const bool shown = r >= value && r <= value + 11;
        l->setVisible(shown);
        box->setVisible(shown);
        if (shown) {
            const int slot = r - value;
            l->move(l->x(), px(2715 + 300 * slot));
            box->move(box->x(), px(2670 + 300 * slot));
        }
    }
}

void RecipientImportForm::browse() {
    const QString path = GetOpenFileName(this, QStringLiteral("Import Recipients"),
                                         QStringLiteral("Text Files (*.txt);;All Files (*)"));
    if (!path.isEmpty())
        m_browseTextBox->setText(path);
}

void RecipientImportForm::chooseEmailOnly() {
    m_label4->setEnabled(false);
    m_delimitComboBox->setCurrentIndex(0);
    m_delimitComboBox->setEnabled(false);
    m_quotationCheckBox->setChecked(false);
    m_quotationCheckBox->setEnabled(false);
    m_getDataButton->setEnabled(false);
    for (QLabel* l : m_labels)
        l->setEnabled(false);
    for (QComboBox* box : m_boxes) {
        box->clear();
        box->setEnabled(false);
    }
    m_label5->setEnabled(false);
    m_vScrollBar->setEnabled(false);
}

void RecipientImportForm::chooseFields() {
    m_label4->setEnabled(true);
    m_delimitComboBox->setEnabled(true);
    m_quotationCheckBox->setEnabled(true);
    m_getDataButton->setEnabled(true);
    for (QLabel* l : m_labels)
        l->setEnabled(true);
    for (QComboBox* box : m_boxes)
        box->setEnabled(true);
    m_label5->setEnabled(true);
    m_vScrollBar->setEnabled(true);
}

void RecipientImportForm::getData() {
    if (m_browseTextBox->text().isEmpty()) {
        ShowMessage(this, QStringLiteral("Please specify a file."), QMessageBox::Warning);
        return;
    }
    for (QComboBox* box : m_boxes)
        box->clear();
    const QChar delimiter = DelimiterForName(m_delimitComboBox->currentText());
    const bool quotes = m_quotationCheckBox->isChecked();
    const QStringList fields = SplitImportLine(FirstImportLine(m_browseTextBox->text(), delimiter, quotes),
                                               delimiter, quotes, UsedImportFields);
    QStringList items{QStringLiteral("Ignore")};
    for (qsizetype k = 1; k <= std::min<qsizetype>(fields.size(), 18); ++k)
        items << QStringLiteral("Field ") + QString::number(k) + QStringLiteral(" = ") + fields[k - 1];
    for (QComboBox* box : m_boxes) {
        box->addItems(items);
        box->setCurrentIndex(0);
    }
}

void RecipientImportForm::disableImportControls() {
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_label1, m_browseTextBox, m_browseButton, m_label2, m_dataComboBox, m_label3, m_radioButton1,
             m_radioButton2, m_label4, m_delimitComboBox, m_quotationCheckBox, m_getDataButton, m_label5,
             m_vScrollBar})
        w->setEnabled(false);
    for (QLabel* l : m_labels)
        l->setEnabled(false);
    for (QComboBox* box : m_boxes)
        box->setEnabled(false);
    m_importButton->setEnabled(false);
    m_reportButton->setEnabled(false);
}

void RecipientImportForm::enableImportControls() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_label1, m_browseTextBox, m_browseButton, m_label2, m_dataComboBox,
                                         m_label3, m_radioButton1, m_radioButton2})
        w->setEnabled(true);
    if (m_radioButton2->isChecked())
        chooseFields();
    m_importButton->setEnabled(true);
    m_reportButton->setEnabled(true);
}

void RecipientImportForm::startImport() {
    if (m_browseTextBox->text().isEmpty()) {
        ShowMessage(this, QStringLiteral("Please specify a file."), QMessageBox::Warning);
        return;
    }
    if (m_dataComboBox->count() == 0) {
        ShowMessage(this, QStringLiteral("There is no group to import."), QMessageBox::Warning);
        return;
    }
    if (m_dataComboBox->currentText().isEmpty()) {
        ShowMessage(this, QStringLiteral("Please select a group."), QMessageBox::Warning);
        return;
    }
    const bool fieldMode = m_radioButton2->isChecked();
    ImportOptions options;
    if (fieldMode) {
        bool allEmpty = true, allSingle = true, allIgnore = true;
        for (QComboBox* box : m_boxes) {
            allEmpty = allEmpty && box->count() == 0;
            allSingle = allSingle && box->count() == 1;
            allIgnore = allIgnore && box->currentText() == QLatin1String("Ignore");
        }
        if (allEmpty || allSingle) {
            ShowMessage(this, QStringLiteral("There is no data to import."), QMessageBox::Warning);
            return;
        }
        if (allIgnore) {
            ShowMessage(this, QStringLiteral("Please select at least one field to import."),
                        QMessageBox::Warning);
            return;
        }
        if (m_boxes[0]->currentText() == QLatin1String("Ignore")) {
            ShowMessage(this, QStringLiteral("Email Address field is required."), QMessageBox::Warning);
            return;
        }
        for (size_t j = 0; j < m_boxes.size(); ++j)
            options.mapping[j] = MappedFieldNumber(m_boxes[j]->currentText());
        options.offeredFields = m_boxes[0]->count() - 1; // every box offers "Ignore" and the fields
    }
    if (ShowMessage(
            this,
            QStringLiteral("To comply with the CAN-SPAM please confirm that you are importing a valid "
                           "opt-in list.\nYou must not import lists of purchased addresses which "
                           "don't have given permission."),
            QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;

    options.filePath = m_browseTextBox->text();
    options.groupName = m_dataComboBox->currentText();
    options.mode = fieldMode ? ImportMode::Fields : ImportMode::EmailOnly;
    options.delimiter = DelimiterForName(m_delimitComboBox->currentText());
    options.stripQuotes = m_quotationCheckBox->isChecked();

    const ImportRunHooks hooks = startRun<ImportRunHooks>();
    disableImportControls();
    const ImportResult result = RecipientImporter(options).Run(hooks);
    if (result.status == ImportResult::Status::GroupNotFound) {
        ShowMessage(this, kNoGroup, QMessageBox::Warning);
    } else {
        ShowMessage(this, ImportSummaryText(result), QMessageBox::Information);
    }
    enableImportControls();
    m_importRan = true;
}

void RecipientImportForm::openReport() {
    const QString path = ImportReportPath();
    if (QFile::exists(path))
        OpenOrShowWhere(this, path, QStringLiteral("report"));
    else
        ShowMessage(this, QStringLiteral("Report is not available for this session."), QMessageBox::Warning);
}

bool RecipientImportForm::askToCancel() {
    return ShowMessage(this, QStringLiteral("Are you sure you want to cancel the import process?"),
                       QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
