#pragma once
#include "recipients/RecipientStore.h"

#include <QAbstractTableModel>
#include <vector>

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
