#pragma once
#include <QDialog>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class RecipientGridModel;

// "Group Manager": the recipient groups of Group.mdb. Choosing a group in GroupComboBox loads its
// recipients into the grid (MSFlexGrid); the buttons create, rename and delete groups, add, modify,
// delete and search recipients, and open the import and export windows (TransferWindows.h). Every
// change of the group list is said with groupsChanged, for the main window's list.
class GroupManagerForm : public QDialog {
    Q_OBJECT
public:
    explicit GroupManagerForm(QWidget* parent = nullptr);

    // True while a group is being read into the grid.
    bool IsLoading() const { return m_loading; }

public slots:
    // Reads the recipients of the group named in GroupComboBox into the grid, a batch at a time; the
    // window stays responsive and may be closed meanwhile.
    void LoadGroupRecipients();
    void NewGroupButton_Click();
    void RenameGroupButton_Click();
    void DeleteGroupButton_Click();
    void AddButton_Click();
    void ModifyButton_Click();
    void DeleteButton_Click();
    void SearchButton_Click();
    void ImportButton_Click();
    void ExportButton_Click();
    void reject() override;

signals:
    // The groups of the database after a change of the group list.
    void groupsChanged(const QStringList& names);

private:
    // The checks of the buttons that work on a group (and on its recipients).
    bool CheckGroup();
    bool CheckRecipients();
    void SetLoadingState(bool loading);
    // No group shown: header row only, grid disabled, Total "0".
    void ClearGrid();
    void SetTotal(int total);

    QLabel* m_nameLabel = nullptr;
    QComboBox* m_groups = nullptr;
    QTableView* m_grid = nullptr;
    RecipientGridModel* m_model = nullptr;
    QLabel* m_total = nullptr;
    QProgressBar* m_progress = nullptr;
    QList<QPushButton*> m_buttons; // every button but Close
    bool m_loading = false;
    bool m_stopLoading = false;
};
