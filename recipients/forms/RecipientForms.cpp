#include "recipients/forms/RecipientForms.h"

#include "core/TextUtil.h"
#include "recipients/RecipientLists.h"
#include "recipients/forms/RecipientGrid.h"
#include "recipients/forms/ValidateEmail.h"
#include "ui/DialogButtons.h"
#include "ui/FieldLabels.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct FieldControl {
    const char* label;
    const char* name;
    int maxLength;
    int list; // 0 none, 1 titles, 2 countries, 3 states
};

constexpr std::array<FieldControl, 18> kControls{{
    {"Email :", "EmailTextBox", 255, 0},
    {"Title :", "TitleComboBox", 16, 1},
    {"First Name :", "FirstNameTextBox", 64, 0},
    {"Last Name :", "LastNameTextBox", 64, 0},
    {"Country :", "CountryComboBox", 64, 2},
    {"State :", "StateComboBox", 64, 3},
    {"City :", "CityTextBox", 64, 0},
    {"Address 1 :", "Address1TextBox", 64, 0},
    {"Address 2 :", "Address2TextBox", 64, 0},
    {"ZIP Code :", "ZIPTextBox", 64, 0},
    {"Phone :", "PhoneTextBox", 64, 0},
    {"Fax :", "FaxTextBox", 64, 0},
    {"Company :", "CompanyTextBox", 64, 0},
    {"Job Title :", "JobTextBox", 64, 0},
    {"Web Site :", "SiteTextBox", 64, 0},
    {"IP Address :", "IPTextBox", 64, 0},
    {"Date Added :", "DateTextBox", 64, 0},
    {"Additional Field :", "AddTextBox", 64, 0},
}};

template <size_t N>
void fillList(QComboBox* box, const std::array<const char*, N>& items) {
    for (const char* item : items)
        box->addItem(QString::fromUtf8(item));
}

QLineEdit* editOf(QWidget* field) {
    if (auto* box = qobject_cast<QComboBox*>(field))
        return box->lineEdit();
    return static_cast<QLineEdit*>(field);
}

QString textOf(QWidget* field) {
    return editOf(field)->text();
}

// Stored values may be longer than the typing limits (imports write them): they are shown in full so
// that OK writes back what is stored, not a cut copy.
void setTextOf(QWidget* field, const QString& text) {
    SetUncutText(editOf(field), text);
}

constexpr const char* kHelpTopic = "Group Manager 1.htm";

} // namespace

RecipientFieldsDialog::RecipientFieldsDialog(const QString& caption, QWidget* parent) : QDialog(parent) {
    SetUpDialog(this, caption, QString::fromLatin1(kHelpTopic));
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame"));
    auto* grid = new QGridLayout(frame);
    QWidget* previous = nullptr;
    for (size_t i = 0; i < kControls.size(); ++i) {
        const FieldControl& c = kControls[i];
        auto* label = new QLabel(QString::fromLatin1(c.label), frame);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        QWidget* field = nullptr;
        if (c.list) {
            auto* box = new QComboBox(frame);
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);
            // The items are offers only: what the user types is stored as typed, never completed into
            // an item ("MA" stays "MA", not "Maine").
            box->setCompleter(nullptr);
            if (c.list == 1)
                fillList(box, TitleListItems);
            else if (c.list == 2)
                fillList(box, CountryListItems);
            else
                fillList(box, StateListItems);
            box->setCurrentIndex(-1);
            box->setEditText(QString());
            field = box;
        } else {
            field = new QLineEdit(frame);
        }
        SetTypingLimit(editOf(field), c.maxLength);
        field->setObjectName(QString::fromLatin1(c.name));
        NameAfterLabel(label, field);
        grid->addWidget(label, int(i), 0);
        // The title field is narrow; every other field reaches the same right edge.
        grid->addWidget(field, int(i), 1, 1, c.list == 1 ? 1 : 2);
        if (c.list == 1)
            field->setFixedWidth(1000 / 15);
        if (previous)
            setTabOrder(previous, field);
        previous = field;
        m_fields[i] = field;
    }
    grid->setColumnMinimumWidth(1, 3435 / 15);

    const DialogButtons buttons = MakeDialogButtons(this, {.apart = true});
    setTabOrder(previous, buttons.ok);
    setTabOrder(buttons.ok, buttons.cancel);
    connect(buttons.ok, &QPushButton::clicked, this, &RecipientFieldsDialog::OKButton_Click);
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons.row);
}

RecipientValues RecipientFieldsDialog::TrimFields() {
    RecipientValues values;
    for (size_t i = 0; i < m_fields.size(); ++i) {
        values[i] = TrimBlanks(textOf(m_fields[i]));
        setTextOf(m_fields[i], values[i]);
    }
    return values;
}

void RecipientFieldsDialog::SetFields(const RecipientValues& values) {
    for (size_t i = 0; i < m_fields.size(); ++i)
        setTextOf(m_fields[i], values[i]);
}

QLineEdit* RecipientFieldsDialog::EmailBox() const {
    return static_cast<QLineEdit*>(m_fields[0]);
}

std::optional<RecipientValues> RecipientFieldsDialog::CheckedFields() {
    const RecipientValues values = TrimFields();
    if (!ValidateEmail(values[0], this)) {
        EmailBox()->setFocus();
        return std::nullopt;
    }
    return values;
}

void RecipientFieldsDialog::FinishStore(StoreResult result, const RecipientValues& values,
                                        const char* notFoundText) {
    switch (result) {
    case StoreResult::Done:
        m_stored = RecipientEdit{values[2], values[3], values[0]};
        accept();
        return;
    case StoreResult::Duplicate:
        ShowMessage(this, QString::fromLatin1(RecipientExistsText), QMessageBox::Warning);
        return;
    case StoreResult::NotFound:
        ShowMessage(this, QString::fromLatin1(notFoundText), QMessageBox::Warning);
        return;
    case StoreResult::Failed:
        ShowMessage(this, QString::fromLatin1(NotStoredText), QMessageBox::Warning);
        return;
    }
}

// ---- Add

RecipientAddForm::RecipientAddForm(const QString& groupName, QWidget* parent)
    : RecipientFieldsDialog(QStringLiteral("Add Recipient"), parent), m_groupName(groupName) {
    setObjectName(QStringLiteral("RecipientAddForm"));
}

void RecipientAddForm::OKButton_Click() {
    if (const std::optional<RecipientValues> values = CheckedFields())
        FinishStore(AddRecipient(m_groupName, *values), *values, GroupNotFoundText);
}

std::optional<RecipientEdit> RecipientAddForm::Ask(const QString& groupName, QWidget* parent) {
    RecipientAddForm form(groupName, parent);
    form.exec();
    return form.stored();
}

// ---- Modify

RecipientModifyForm::RecipientModifyForm(const QString& groupName, const QString& email, QWidget* parent,
                                         const char* formName)
    : RecipientFieldsDialog(QStringLiteral("Modify Recipient"), parent) {
    setObjectName(QString::fromLatin1(formName));
    // The row is found once, here; OK writes to this row and no other.
    const StoredRecipient stored = ReadRecipient(groupName, email);
    m_groupId = stored.groupId;
    m_recordId = stored.recordId;
    if (m_recordId != 0)
        SetFields(stored.values);
}

void RecipientModifyForm::OKButton_Click() {
    if (const std::optional<RecipientValues> values = CheckedFields())
        FinishStore(ModifyRecipient(m_groupId, m_recordId, *values), *values, RecipientNotFoundText);
}

std::optional<RecipientEdit> RecipientModifyForm::Ask(const QString& groupName, const QString& email,
                                                      QWidget* parent, const char* formName) {
    RecipientModifyForm form(groupName, email, parent, formName);
    form.exec();
    return form.stored();
}

// ---- Grid rows

bool ModifyGridRecipient(QWidget* parent, const QString& groupName, RecipientGridModel* model, int row,
                         const char* formName) {
    const std::optional<RecipientEdit> modified =
        RecipientModifyForm::Ask(groupName, model->recipient(row).email, parent, formName);
    if (!modified)
        return false;
    model->setRecipient(row, *modified);
    return true;
}

bool DeleteGridRecipient(QWidget* parent, const QString& groupName, RecipientGridModel* model, int row) {
    const QString email = model->recipient(row).email;
    if (!AskYesNo(parent, QStringLiteral("Are you sure you want to delete '") + email + QStringLiteral("'?")))
        return false;
    switch (DeleteRecipient(groupName, email)) {
    case StoreResult::Done:
        model->removeRecipient(row);
        return true;
    case StoreResult::NotFound:
    case StoreResult::Duplicate:
        ShowMessage(parent, QString::fromLatin1(RecipientNotFoundText), QMessageBox::Warning);
        return false;
    case StoreResult::Failed:
        ShowMessage(parent, QString::fromLatin1(NotStoredText), QMessageBox::Warning);
        return false;
    }
    return false;
}
