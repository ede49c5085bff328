#pragma once

// Registers the windows of every area that the main window and the Group Manager open through hooks
// (the import and export windows, the windows of the command table). Called once at start-up, before
// the main window is built.
void RegisterAreaWindows();
