#pragma once
#include "recipients/RecipientStore.h"

#include <QDialog>
#include <array>
#include <optional>

class QComboBox;
class RecipientGridModel;
class QLineEdit;
class QPushButton;

// Messages of the recipient windows for writes the store refused.
inline constexpr const char* RecipientExistsText = "A recipient with the email you specified already exists.";
inline constexpr const char* GroupNotFoundText = "The selected group could not be found.";
inline constexpr const char* RecipientNotFoundText = "The recipient could not be found.";
inline constexpr const char* NotStoredText = "The recipient database could not be updated.";

// What the add and modify dialogs hand back: the stored row's names and address, as the grid shows them.
using RecipientEdit = GridRecipient;

// The 18 recipient fields in one frame (EmailTextBox, TitleComboBox, ... AddTextBox) with OK and Cancel:
// the body of the add and the modify dialogs.
class RecipientFieldsDialog : public QDialog {
    Q_OBJECT
public:
    // The texts of the fields in the order of RecipientFields, each trimmed of blanks and written back.
    RecipientValues TrimFields();
    void SetFields(const RecipientValues& values);
    // The row OK stored, as stored; nothing until then.
    const std::optional<RecipientEdit>& stored() const { return m_stored; }

public slots:
    // Checks and stores the recipient; the dialog closes only when the row was stored.
    virtual void OKButton_Click() = 0;

protected:
    RecipientFieldsDialog(const QString& caption, QWidget* parent);
    // The trimmed fields, or none when the address is refused (the focus is then back in its box).
    std::optional<RecipientValues> CheckedFields();
    // What the store did with the row: stored, it is handed back and closes the dialog; refused, the
    // reason is shown (notFoundText when the group or the row is gone) and the dialog stays.
    void FinishStore(StoreResult result, const RecipientValues& values, const char* notFoundText);

private:
    QLineEdit* EmailBox() const;

    std::array<QWidget*, 18> m_fields{};
    std::optional<RecipientEdit> m_stored;
};

// "Add Recipient": adds one recipient to the named group.
class RecipientAddForm : public RecipientFieldsDialog {
    Q_OBJECT
public:
    RecipientAddForm(const QString& groupName, QWidget* parent = nullptr);
    // Shows the dialog; the stored row, or nothing when it closed without storing one.
    static std::optional<RecipientEdit> Ask(const QString& groupName, QWidget* parent);
    void OKButton_Click() override;

private:
    QString m_groupName;
};

// "Modify Recipient": shows the stored fields of the recipient with this address in the named group and
// writes them back to that same row. Both the Group Manager
// and the search window open it with the address of their grid's current row.
class RecipientModifyForm : public RecipientFieldsDialog {
    Q_OBJECT
public:
    // formName tells the two openers' windows apart: "RecipientModifyForm1" for the Group Manager's
    // grid, "RecipientModifyForm2" for the search window's.
    RecipientModifyForm(const QString& groupName, const QString& email, QWidget* parent = nullptr,
                        const char* formName = "RecipientModifyForm1");
    // Shows the dialog; the row as stored, or nothing when it closed without storing it.
    static std::optional<RecipientEdit> Ask(const QString& groupName, const QString& email, QWidget* parent,
                                            const char* formName);
    void OKButton_Click() override;

private:
    qint32 m_groupId = 0;
    qint32 m_recordId = 0;
};

// "Modify Recipient" for one row of a recipient grid; when the row was stored its new texts are shown
// in place. True when the row changed.
bool ModifyGridRecipient(QWidget* parent, const QString& groupName, RecipientGridModel* model, int row,
                         const char* formName);

// Asks, then deletes the recipient of one grid row from the group; a refused delete is explained. True
// when it was deleted (the row is then gone from the grid as well).
bool DeleteGridRecipient(QWidget* parent, const QString& groupName, RecipientGridModel* model, int row);
