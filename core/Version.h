#pragma once
// The release number shown on the splash and in the about box.
inline constexpr int VersionMajor = 14;
inline constexpr int VersionMinor = 0;

// The caption of the main window and the first line of the about box.
inline constexpr const char* MainWindowTitle = "Torvale Velanto Ostrel Edition";
