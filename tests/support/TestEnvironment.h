#pragma once
// The private environment every test process runs in: its own HOME, XDG folders and TMPDIR, a fresh
// data folder with the shipped database, and no saved settings. No widgets: logic tests use it too.
#include <QString>

namespace testenv {

// Points HOME, XDG_* and TMPDIR at a fresh private folder for this test process.
void PrepareProcessEnvironment();

// A fresh data folder holding a copy of the shipped (empty) Group.mdb; it becomes DataPath.
QString FreshDataPath();

// Forgets every saved setting.
void ClearSettings();

// The shipped database made by the build.
QString ShippedDatabase();

} // namespace testenv
