#include "recipients/RecipientGrid.h"

#include "recipients/FlexGrid.h"
#include "ui/FieldLabels.h"

#include <QTableView>

int RecipientGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RecipientGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant RecipientGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || size_t(index.row()) >= m_rows.size())
        return QVariant();
    const GridRecipient& r = m_rows[size_t(index.row())];
    switch (index.column()) {
    case 0:
        return QString::number(index.row() + 1);
    case 1:
        return r.firstName;
    case 2:
        return r.lastName;
    case 3:
        return r.email;
    default:
        return QVariant();
    }
}

QVariant RecipientGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char* const headers[] = {"No.", "First Name", "Last Name", "Email Address"};
    return section >= 0 && section < 4 ? QString::fromLatin1(headers[section]) : QVariant();
}

void RecipientGridModel::clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void RecipientGridModel::append(std::vector<GridRecipient>&& rows) {
    if (rows.empty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + int(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

void RecipientGridModel::setRecipient(int row, const GridRecipient& recipient) {
    if (row < 0 || size_t(row) >= m_rows.size())
        return;
    m_rows[size_t(row)] = recipient;
    emit dataChanged(index(row, 1), index(row, 3));
}

void RecipientGridModel::removeRecipient(int row) {
    if (row < 0 || size_t(row) >= m_rows.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    // The numbers of every later row change.
    if (size_t(row) < m_rows.size())
        emit dataChanged(index(row, 0), index(rowCount() - 1, 0));
}

QTableView* MakeRecipientGrid(QWidget* parent, RecipientGridModel* model, const QList<int>& columnWidthsTwips,
                              std::function<void()> modifyRow) {
    auto* grid = new QTableView(parent);
    grid->setObjectName(QStringLiteral("MSFlexGrid"));
    NameControl(grid, QStringLiteral("Recipients"));
    grid->setModel(model);
    SetUpFlexGrid(grid, columnWidthsTwips);
    FG_AlternateRowColors(grid, GridEvenRowColor, GridOddRowColor);
    QObject::connect(grid, &QTableView::doubleClicked, parent, [model, modifyRow = std::move(modifyRow)] {
        if (model->rowCount() > 0)
            modifyRow();
    });
    return grid;
}

void UpdateRecipientGridState(QTableView* grid) {
    const bool hasRows = grid->model()->rowCount() > 0;
    grid->setEnabled(hasRows);
    if (hasRows && !grid->currentIndex().isValid())
        grid->setCurrentIndex(grid->model()->index(0, 1));
}

int CurrentRecipientRow(const QTableView* grid) {
    const int row = grid->currentIndex().row();
    return row >= 0 ? row : 0;
}
