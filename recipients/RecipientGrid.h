#pragma once
#include "recipients/RecipientStore.h"

#include <QAbstractTableModel>
#include <QList>
#include <functional>
#include <vector>

class QTableView;

// The rows of a recipient grid: "No. | First Name | Last Name | Email Address". The number column
// always counts 1, 2, 3, ... so rows removed or added never leave gaps.
class RecipientGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void clear();
    void append(std::vector<GridRecipient>&& rows);
    void setRecipient(int row, const GridRecipient& recipient);
    void removeRecipient(int row);
    const GridRecipient& recipient(int row) const { return m_rows.at(size_t(row)); }

private:
    std::vector<GridRecipient> m_rows;
};

// The grid of a window that lists recipients, in the look every grid shares. A double click on a row
// asks modifyRow to open that row for editing.
QTableView* MakeRecipientGrid(QWidget* parent, RecipientGridModel* model, const QList<int>& columnWidthsTwips,
                              std::function<void()> modifyRow);

// The grid takes input only while it has rows, and then always has a current row.
void UpdateRecipientGridState(QTableView* grid);

// The row the user chose: the current one, or the first when none is current.
int CurrentRecipientRow(const QTableView* grid);
