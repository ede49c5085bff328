#include "recipients/forms/GroupForms.h"

#include "core/TextUtil.h"
#include "recipients/RecipientStore.h"
#include "recipients/forms/RecipientForms.h"
#include "ui/DialogButtons.h"
#include "ui/FieldLabels.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

namespace {

constexpr const char* kNameTaken =
    "A Group with the name you specified already exists. Specify a different name.";

// Drops every character a group name cannot hold, typed or pasted: a typed one never appears, and a
// pasted text keeps the characters it may hold.
class GroupNameValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        QString kept;
        int keptBeforeCursor = 0;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (!IsGroupNameCharacter(input[i]))
                continue;
            kept += input[i];
            if (i < pos)
                ++keptBeforeCursor;
        }
        input = kept;
        pos = keptBeforeCursor;
        return Acceptable;
    }
};

} // namespace

QStringList RefillGroupList(QComboBox* managerGroups, bool keepSelection) {
    const QStringList names = ReadGroupNames();
    if (managerGroups) {
        const QString selected = managerGroups->currentText();
        const bool blocked = managerGroups->blockSignals(true);
        managerGroups->clear();
        managerGroups->addItems(names);
        managerGroups->setCurrentIndex(
            keepSelection && !selected.isEmpty() ? managerGroups->findText(selected) : -1);
        managerGroups->blockSignals(blocked);
    }
    return names;
}

GroupNameDialog::GroupNameDialog(const QString& caption, const QString& label, QComboBox* managerGroups,
                                 QWidget* parent)
    : QDialog(parent), m_groups(managerGroups) {
    SetUpDialog(this, caption, QStringLiteral("Group Manager 1.htm"));
    auto* text = new QLabel(label, this);
    text->setObjectName(QStringLiteral("Label"));
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("GroupNameTextBox"));
    m_name->setMaxLength(64);
    m_name->setValidator(new GroupNameValidator(m_name));
    NameAfterLabel(text, m_name);
    HookRightClick(m_name);

    const DialogButtons buttons = MakeDialogButtons(this);
    connect(buttons.ok, &QPushButton::clicked, this, &GroupNameDialog::OKButton_Click);
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(text);
    row->addWidget(m_name, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons.row);
    resize(360, sizeHint().height());
}

GroupNameDialog::~GroupNameDialog() {
    UnhookRightClick(m_name);
}

QString GroupNameDialog::TakeName() {
    // Text set from outside the box bypasses its validator: it is cleaned the way typing would have.
    const QString name = TrimBlanks(FilterGroupName(m_name->text()));
    m_name->setText(name);
    return name;
}

QStringList GroupNameDialog::ManagerItems() const {
    QStringList items;
    if (m_groups)
        for (int i = 0; i < m_groups->count(); ++i)
            items << m_groups->itemText(i);
    return items;
}

void GroupNameDialog::RefillGroups(bool keepSelection) {
    emit groupsChanged(RefillGroupList(m_groups, keepSelection));
}

// ---- New

GroupNewForm::GroupNewForm(QComboBox* managerGroups, QWidget* parent)
    : GroupNameDialog(QStringLiteral("New Group"), QStringLiteral("Name :"), managerGroups, parent) {
    setObjectName(QStringLiteral("GroupNewForm"));
}

void GroupNewForm::OKButton_Click() {
    const QString name = TakeName();
    if (name.isEmpty()) {
        WarnAndFocus(NameBox(), QStringLiteral("Please enter a name."));
        return;
    }
    if (GroupNameTaken(name, ManagerItems())) {
        ShowMessage(this, QString::fromLatin1(kNameTaken), QMessageBox::Warning);
        return;
    }
    switch (CreateGroup(name)) {
    case StoreResult::Done:
        RefillGroups(true);
        accept();
        return;
    case StoreResult::Duplicate:
        // Another window made the group meanwhile: show the lists as they are now.
        RefillGroups(true);
        ShowMessage(this, QString::fromLatin1(kNameTaken), QMessageBox::Warning);
        return;
    case StoreResult::NotFound:
    case StoreResult::Failed:
        ShowMessage(this, QString::fromLatin1(NotStoredText), QMessageBox::Warning);
        return;
    }
}

// ---- Rename

GroupRenameForm::GroupRenameForm(QComboBox* managerGroups, QWidget* parent)
    : GroupNameDialog(QStringLiteral("Rename Group"), QStringLiteral("New Name :"), managerGroups, parent),
      m_oldName(managerGroups ? managerGroups->currentText() : QString()) {
    setObjectName(QStringLiteral("GroupRenameForm"));
    NameBox()->setText(m_oldName);
}

void GroupRenameForm::OKButton_Click() {
    const QString name = TakeName();
    if (name.isEmpty()) {
        WarnAndFocus(NameBox(), QStringLiteral("Please enter a name."));
        return;
    }
    if (name == m_oldName) {
        ShowMessage(this, QStringLiteral("You didn't modify the group name."), QMessageBox::Warning);
        return;
    }
    if (GroupNameTaken(name, ManagerItems())) {
        ShowMessage(this, QString::fromLatin1(kNameTaken), QMessageBox::Warning);
        return;
    }
    switch (RenameGroup(m_oldName, name)) {
    case StoreResult::Done:
        RefillGroups(false);
        accept();
        return;
    case StoreResult::Duplicate:
        RefillGroups(false);
        ShowMessage(this, QString::fromLatin1(kNameTaken), QMessageBox::Warning);
        return;
    case StoreResult::NotFound:
        // The group is gone: the lists show what the database holds now.
        RefillGroups(false);
        ShowMessage(this, QString::fromLatin1(GroupNotFoundText), QMessageBox::Warning);
        reject();
        return;
    case StoreResult::Failed:
        ShowMessage(this, QString::fromLatin1(NotStoredText), QMessageBox::Warning);
        return;
    }
}
