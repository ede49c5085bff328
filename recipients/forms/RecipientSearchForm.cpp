#include "recipients/forms/RecipientSearchForm.h"

#include "core/TextUtil.h"
#include "recipients/RecipientStore.h"
#include "recipients/forms/RecipientForms.h"
#include "recipients/forms/RecipientGrid.h"
#include "ui/FieldLabels.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

namespace {
constexpr const char* kNoAddress = "Please specify an email address.";
}

RecipientSearchForm::RecipientSearchForm(const QString& groupName, QWidget* parent)
    : QDialog(parent), m_groupName(groupName) {
    setObjectName(QStringLiteral("RecipientSearchForm"));
    SetUpDialog(this, QStringLiteral("Search Recipient"), QStringLiteral("Group Manager 1.htm"));

    auto* label = new QLabel(QStringLiteral("Find recipients if :"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_field = new QComboBox(this);
    m_field->setObjectName(QStringLiteral("FieldComboBox"));
    m_field->addItems(SearchFieldLabels());
    m_field->setCurrentIndex(0);
    m_compare = new QComboBox(this);
    m_compare->setObjectName(QStringLiteral("CompareComboBox"));
    m_compare->addItems(SearchCompareLabels());
    m_compare->setCurrentIndex(0);
    m_entry = new QLineEdit(this);
    m_entry->setObjectName(QStringLiteral("EntryTextBox"));
    // One label stands before the three boxes of the condition; each gets a name of its own.
    label->setBuddy(m_field);
    NameControl(m_field, QStringLiteral("Find recipients if field"));
    NameControl(m_compare, QStringLiteral("Comparison"));
    NameControl(m_entry, QStringLiteral("Search term"));
    auto* search = new QPushButton(QStringLiteral("Search"), this);
    search->setObjectName(QStringLiteral("SearchButton"));
    search->setDefault(true);

    m_model = new RecipientGridModel(this);
    m_grid = MakeRecipientGrid(this, m_model, {750, 2075, 2075, 2075}, [this] { ModifyButton_Click(); });
    m_grid->setEnabled(false);

    auto* modify = new QPushButton(QStringLiteral("Modify"), this);
    modify->setObjectName(QStringLiteral("ModifyButton"));
    auto* remove = new QPushButton(QStringLiteral("Delete"), this);
    remove->setObjectName(QStringLiteral("DeleteButton"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));

    connect(search, &QPushButton::clicked, this, &RecipientSearchForm::SearchButton_Click);
    connect(modify, &QPushButton::clicked, this, &RecipientSearchForm::ModifyButton_Click);
    connect(remove, &QPushButton::clicked, this, &RecipientSearchForm::DeleteButton_Click);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(m_field);
    top->addWidget(m_compare);
    top->addWidget(m_entry, 1);
    top->addWidget(search);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(modify);
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
    resize(680, 420);
}

void RecipientSearchForm::SearchButton_Click() {
    const QString term = TrimBlanks(m_entry->text());
    m_entry->setText(term);
    if (term.isEmpty()) {
        WarnAndFocus(m_entry, QStringLiteral("Please enter your search term."));
        return;
    }
    m_grid->setEnabled(false);
    m_model->clear();
    const QString readError =
        SearchRecipients(m_groupName, m_field->currentText(), m_compare->currentText(), term,
                         [this](QByteArrayView first, QByteArrayView last, QByteArrayView email) {
                             m_model->addPending(first, last, email);
                         });
    m_model->showPending();
    UpdateRecipientGridState(m_grid);
    if (!readError.isEmpty())
        ShowMessage(this, IncompleteListText(m_model->rowCount(), readError), QMessageBox::Warning);
}

void RecipientSearchForm::ModifyButton_Click() {
    if (m_model->rowCount() == 0) {
        ShowMessage(this, QString::fromLatin1(kNoAddress), QMessageBox::Warning);
        return;
    }
    // A modified recipient stays in the list even if it no longer meets the search.
    if (ModifyGridRecipient(this, m_groupName, m_model, CurrentRecipientRow(m_grid), "RecipientModifyForm2"))
        UpdateRecipientGridState(m_grid);
}

void RecipientSearchForm::DeleteButton_Click() {
    if (m_model->rowCount() == 0) {
        ShowMessage(this, QString::fromLatin1(kNoAddress), QMessageBox::Warning);
        return;
    }
    if (DeleteGridRecipient(this, m_groupName, m_model, CurrentRecipientRow(m_grid)))
        UpdateRecipientGridState(m_grid);
}
