#pragma once

class QWidget;

// Shows a window of type Form modally over parent and returns when it has closed. Every showing makes a
// fresh window, so nothing of an earlier showing (a half-typed entry, a finished run) carries over.
template <typename Form>
void ShowModalDialog(QWidget* parent) {
    Form form(parent);
    form.exec();
}
