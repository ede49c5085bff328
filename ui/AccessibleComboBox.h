#pragma once
class QAccessibleInterface;
class QComboBox;

// A screen reader names a combo box by the label the program gives it (its accessible name, or the text
// of the label whose buddy it is) and reads the item it shows as its value. Qt's own interface names it
// by that item on Linux, so every mapping box showing "Ignore" would read alike and the label is lost.
// Installed once at start-up, before the first window; it then serves every combo box of the program.
void InstallAccessibleComboBoxes();

// The interface the installed factory gives a combo box (tests ask it directly).
QAccessibleInterface* NewAccessibleComboBox(QComboBox* box);
