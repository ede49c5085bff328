#include "recipients/forms/RecipientGrid.h"

#include "recipients/forms/FlexGrid.h"
#include "ui/FieldLabels.h"

#include <QTableView>

int RecipientGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shown;
}

int RecipientGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant RecipientGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_shown)
        return QVariant();
    if (index.column() == 0)
        return QString::number(index.row() + 1);
    if (index.column() <= 3)
        return m_rows.text(size_t(index.row()), index.column() - 1);
    return QVariant();
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
    m_shown = 0;
    endResetModel();
}

void RecipientGridModel::reserve(qsizetype rows) {
    m_rows.reserve(size_t(qMax<qsizetype>(0, rows)));
}

void RecipientGridModel::addPending(QByteArrayView firstName, QByteArrayView lastName, QByteArrayView email) {
    m_rows.append(firstName, lastName, email);
}

void RecipientGridModel::showPending() {
    const int total = int(m_rows.size());
    if (total <= m_shown)
        return;
    beginInsertRows(QModelIndex(), m_shown, total - 1);
    m_shown = total;
    endInsertRows();
}

void RecipientGridModel::append(std::vector<GridRecipient>&& rows) {
    showPending();
    for (const GridRecipient& row : rows)
        m_rows.append(row);
    showPending();
}

void RecipientGridModel::setRecipient(int row, const GridRecipient& recipient) {
    if (row < 0 || row >= m_shown)
        return;
    m_rows.replace(size_t(row), recipient);
    emit dataChanged(index(row, 1), index(row, 3));
}

void RecipientGridModel::removeRecipient(int row) {
    if (row < 0 || row >= m_shown)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.remove(size_t(row));
    --m_shown;
    endRemoveRows();
    // The numbers of every later row change.
    if (row < m_shown)
        emit dataChanged(index(row, 0), index(m_shown - 1, 0));
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
