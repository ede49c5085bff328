#include "recipients/forms/FlexGrid.h"

#include <QHeaderView>
#include <QPalette>
#include <QStyledItemDelegate>
#include <QTableView>

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kFixedColumns = 1;

class RowColorDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QColor even = GridEvenRowColor;
    QColor odd = GridOddRowColor;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        // View row 0 is the first data row, row 1 counting the header.
        const int flexRow = index.row() + 1;
        option->backgroundBrush =
            index.column() < kFixedColumns ? GridFixedColor : ((flexRow % 2) ? odd : even);
        option->state &= ~QStyle::State_HasFocus;
        // The row numbers are part of the fixed column: a selection covers the data columns only.
        if (index.column() < kFixedColumns)
            option->state &= ~QStyle::State_Selected;
    }
};

} // namespace

void SetUpFlexGrid(QTableView* grid, const QList<int>& columnWidthsTwips) {
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setAlternatingRowColors(false);
    grid->setWordWrap(false);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 4);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: #ffffff; }"));
    grid->horizontalHeader()->setStretchLastSection(false);
    // The widths are where the columns start: the user may drag any column wider (a long address).
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    for (int c = 0; c < columnWidthsTwips.size(); ++c)
        grid->setColumnWidth(c, columnWidthsTwips.at(c) / kTwipsPerPixel);

    QPalette palette = grid->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Highlight, GridSelectionColor);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::Text, GridTextColor);
    }
    grid->setPalette(palette);
}

void FG_AlternateRowColors(QAbstractItemView* grid, const QColor& evenColor, const QColor& oddColor) {
    auto* delegate = dynamic_cast<RowColorDelegate*>(grid->itemDelegate());
    if (!delegate) {
        delegate = new RowColorDelegate(grid);
        grid->setItemDelegate(delegate);
    }
    delegate->even = evenColor;
    delegate->odd = oddColor;
    grid->viewport()->update();
}
