#pragma once
#include <QColor>
#include <QList>

class QAbstractItemView;
class QTableView;

// The look shared by every grid of rows the program shows (Group Manager, recipient search, history):
// a header row, a number column, whole-row single selection, and data rows coloured alternately.
inline const QColor GridEvenRowColor{255, 255, 192};
inline const QColor GridOddRowColor{255, 200, 0};
inline const QColor GridFixedColor{255, 255, 255};
inline const QColor GridSelectionColor{16, 66, 36};
inline const QColor GridTextColor{95, 95, 143};

// Header and number column white, selection dark green with white text, grid text blue-grey, no focus
// frame, whole rows selected one at a time, no editing. Widths are given in twips (15 per pixel).
void SetUpFlexGrid(QTableView* grid, const QList<int>& columnWidthsTwips);

// Colours the data rows: counting the header as row 0, odd rows get oddColor and even rows evenColor,
// so the first data row has oddColor. The first column (the row numbers) keeps the header colour, also
// in the selected row.
// Colours follow the rows, so rows added, removed or still loading are always coloured right.
void FG_AlternateRowColors(QAbstractItemView* grid, const QColor& evenColor, const QColor& oddColor);
