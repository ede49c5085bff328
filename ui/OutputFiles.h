#pragma once
// Output files chosen in a window: the user is asked before a locked file is unlocked.
#include "core/FileWriting.h"

class QWidget;

// Before a chosen output file is written: a file without its owner's write permission counts as locked, and
// the user is asked whether to unlock it. True when the file may be written (it does not exist, is writable,
// or was unlocked); false when the user said No or it could not be unlocked.
bool ConfirmUnlockedOutput(QWidget* parent, const QString& path);
