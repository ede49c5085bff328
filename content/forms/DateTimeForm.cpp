#include "content/forms/DateTimeForm.h"

#include "ui/DialogButtons.h"

#include "editor/HtmlEditor.h"
#include "ui/FieldLabels.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

DateTimeForm::DateTimeForm(HtmlEditor* editor, QWidget* parent, const DateTimeSource& source)
    : QDialog(parent), m_editor(editor) {
    SetUpDialog(this, QStringLiteral("Insert Date and Time"), QStringLiteral("Message Options.htm"));

    auto* label = new QLabel(QStringLiteral("Available Formats:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_dates = new QListWidget(this);
    m_dates->setObjectName(QStringLiteral("DateListBox"));
    m_times = new QListWidget(this);
    m_times->setObjectName(QStringLiteral("TimeListBox"));
    // One label over two lists: each list says which formats it offers.
    NameControl(m_dates, QStringLiteral("Date Formats"));
    NameControl(m_times, QStringLiteral("Time Formats"));
    for (QListWidget* list : {m_dates, m_times}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setFixedSize(220, 90);
    }
    m_dates->addItems(DateTexts(source));
    m_times->addItems(TimeTexts(source));
    // Nothing is chosen until the user chooses.
    for (QListWidget* list : {m_dates, m_times}) {
        list->setCurrentRow(-1);
        list->clearSelection();
    }

    const DialogButtons dialogButtons = MakeDialogButtons(this);
    QPushButton* ok = dialogButtons.ok;
    QPushButton* cancel = dialogButtons.cancel;
    connect(ok, &QPushButton::clicked, this, &DateTimeForm::OKButton_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* lists = new QHBoxLayout;
    lists->addWidget(m_dates);
    lists->addWidget(m_times);
    QHBoxLayout* buttons = dialogButtons.row;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addLayout(lists);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

void DateTimeForm::OKButton_Click() {
    const QList<QListWidgetItem*> date = m_dates->selectedItems();
    if (date.isEmpty()) {
        ShowMessage(this, QStringLiteral("Please select date format."), QMessageBox::Warning);
        return;
    }
    const QList<QListWidgetItem*> time = m_times->selectedItems();
    if (time.isEmpty()) {
        ShowMessage(this, QStringLiteral("Please select time format."), QMessageBox::Warning);
        return;
    }
    if (m_editor)
        m_editor->DOM().pasteHTML(date.first()->text() + QStringLiteral(" - ") + time.first()->text());
    accept();
}
