#pragma once
// Recipient databases for the tests of damage: a file with many rows, and pages of it overwritten in
// place as a failing disk or a stray copy would leave them.
#include <QString>

namespace testenv {

// A fresh data folder whose Group.mdb holds one group of `count` recipients r1..rN@example.com with the
// first names Name1..NameN, as a file no check of this process has seen yet. Returns the page size.
qint64 FillGroupDatabase(const QString& group, int count);

// Writes zeros over `pages` pages of the file from the page at `fraction` of its length on.
void ZeroPages(const QString& file, qint64 pageSize, double fraction, int pages);

} // namespace testenv
