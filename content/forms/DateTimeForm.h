#pragma once
// The date and time dialog: today's date in four formats and the time in four, computed once when the
// dialog opens; OK pastes the chosen date, " - " and the chosen time at the editor's selection.
#include "content/DateTimeFormats.h"

#include <QDialog>

class HtmlEditor;
class QListWidget;

class DateTimeForm : public QDialog {
    Q_OBJECT
public:
    DateTimeForm(HtmlEditor* editor, QWidget* parent = nullptr,
                 const DateTimeSource& source = CurrentDateTimeSource());

    void OKButton_Click();

private:
    HtmlEditor* m_editor;
    QListWidget* m_dates;
    QListWidget* m_times;
};
