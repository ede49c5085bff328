#pragma once
// Program-wide switches that several windows read.

// True while a shutdown after sending is under way: closing the main window then neither asks about
// unsaved changes nor keeps them. The send run sets it; nothing else does.
inline bool ShuttingDown = false;

// True only while the Tip of the Day command shows the tip window, so that it shows even when tips
// at start-up are switched off.
inline bool TipForced = false;
