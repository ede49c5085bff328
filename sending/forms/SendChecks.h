#pragma once
// What the main window's Send command checks before the sending window opens.
#include "sending/SendCheckRules.h"

#include <QString>

class Composer;
class QWidget;

// The checks in order on the main window's message (the subject loses its leading and trailing blanks);
// a failed check shows its message over parent, the main window, and puts the focus on its control
// where the user must act. True when the sending window may open.
bool RunSendChecks(QWidget* parent, Composer& composer);
