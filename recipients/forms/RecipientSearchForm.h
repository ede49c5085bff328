#pragma once
#include <QDialog>

class QComboBox;
class QLineEdit;
class QTableView;
class RecipientGridModel;

// "Search Recipient": finds recipients of the Group Manager's group by one field and one comparison
// and lets the user modify or delete a hit.
class RecipientSearchForm : public QDialog {
    Q_OBJECT
public:
    explicit RecipientSearchForm(const QString& groupName, QWidget* parent = nullptr);

public slots:
    void SearchButton_Click();
    void ModifyButton_Click();
    void DeleteButton_Click();

private:
    QString m_groupName;
    QComboBox* m_field = nullptr;
    QComboBox* m_compare = nullptr;
    QLineEdit* m_entry = nullptr;
    QTableView* m_grid = nullptr;
    RecipientGridModel* m_model = nullptr;
};
