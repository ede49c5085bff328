#pragma once

// Lets the main window's Extras menu open the print, import, export and extract windows.
void RegisterMessageFileWindows();
