#pragma once
#include <QString>

class QLabel;
class QLineEdit;
class QWidget;

// Ties a label to the control it names: the label becomes the control's buddy (its mnemonic and the
// "labelled by" relation) and the control's accessible name is the label's text without its colon,
// so a screen reader can tell the boxes apart whatever kind of control they are.
void NameAfterLabel(QLabel* label, QWidget* field);

// Gives a control with no label of its own (a box in a table cell, a list beside a button) its name.
void NameControl(QWidget* field, const QString& name);

// The accessible name a label text gives: "&Username :" -> "Username".
QString AccessibleNameOf(const QString& labelText);

// A typed length limit that only stops typing: text the program puts into the box (a stored value) is
// shown and kept in full, however long it is. Typing never makes a text longer than the limit, nor an
// over-long text longer than it was put in; once it is cut down to the limit, the limit holds again.
void SetTypingLimit(QLineEdit* box, int limit);
void SetUncutText(QLineEdit* box, const QString& text);
