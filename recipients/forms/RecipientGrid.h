#pragma once
#include "recipients/CompactRows.h"
#include "recipients/RecipientStore.h"

#include <QAbstractTableModel>
#include <QList>
#include <functional>
#include <vector>

class QTableView;

// The rows of a recipient grid: "No. | First Name | Last Name | Email Address". The number column
// always counts 1, 2, 3, ... so rows removed or added never leave gaps. The rows are held compactly
// (CompactRows), so a group of a million recipients fits in well under 100 MB.
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
    // A load: room for the rows expected, rows added as they are read (UTF-8 from the database), and
    // shown a batch at a time.
    void reserve(qsizetype rows);
    void addPending(QByteArrayView firstName, QByteArrayView lastName, QByteArrayView email);
    void showPending();
    void setRecipient(int row, const GridRecipient& recipient);
    void removeRecipient(int row);
    GridRecipient recipient(int row) const { return m_rows.row(size_t(row)); }

private:
    CompactRows m_rows;
    int m_shown = 0; // rows the view knows of; the rest are pending
};

// The grid of a window that lists recipients, in the look every grid shares. A double click on a row
// asks modifyRow to open that row for editing.
QTableView* MakeRecipientGrid(QWidget* parent, RecipientGridModel* model, const QList<int>& columnWidthsTwips,
                              std::function<void()> modifyRow);

// The grid takes input only while it has rows, and then always has a current row.
void UpdateRecipientGridState(QTableView* grid);

// The row the user chose: the current one, or the first when none is current.
int CurrentRecipientRow(const QTableView* grid);
