#pragma once
#include <QDialog>

class QComboBox;
class QLineEdit;

// Fills the Group Manager's group list from the database and returns the names, which the main
// window's group list shows too. The manager's list keeps its selected name when keepSelection is true
// and the name still exists, and has no selection otherwise.
QStringList RefillGroupList(QComboBox* managerGroups, bool keepSelection);

// Common body of the new and rename dialogs: a name box that takes letters, digits, blanks and "-"
// (typed or pasted), at most 64 characters, and shows no context menu.
class GroupNameDialog : public QDialog {
    Q_OBJECT
public slots:
    virtual void OKButton_Click() = 0;

signals:
    // The groups of the database after the dialog changed them (or found them changed meanwhile).
    void groupsChanged(const QStringList& names);

protected:
    GroupNameDialog(const QString& caption, const QString& label, QComboBox* managerGroups, QWidget* parent);
    ~GroupNameDialog() override;
    // The box's text trimmed, cleared of characters a group name cannot hold, and written back.
    QString TakeName();
    QLineEdit* NameBox() const { return m_name; }
    QComboBox* ManagerGroups() const { return m_groups; }
    QStringList ManagerItems() const;
    // Refills the manager's list (RefillGroupList) and says so with groupsChanged.
    void RefillGroups(bool keepSelection);

private:
    QLineEdit* m_name = nullptr;
    QComboBox* m_groups = nullptr;
};

// "New Group": stores a new group and adds it to both group lists.
class GroupNewForm : public GroupNameDialog {
    Q_OBJECT
public:
    explicit GroupNewForm(QComboBox* managerGroups, QWidget* parent = nullptr);
    void OKButton_Click() override;
};

// "Rename Group": renames the group selected in the Group Manager's list and refills both lists; the
// manager's list is then left with no selection.
class GroupRenameForm : public GroupNameDialog {
    Q_OBJECT
public:
    explicit GroupRenameForm(QComboBox* managerGroups, QWidget* parent = nullptr);
    void OKButton_Click() override;

private:
    QString m_oldName;
};
