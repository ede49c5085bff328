#include "content/forms/TemplateForm.h"

#include "ui/DialogButtons.h"

#include "content/EmailTemplates.h"
#include "core/Paths.h"
#include "core/TextUtil.h"
#include "editor/HtmlEditor.h"
#include "editor/SaveChanges.h"
#include "recipients/forms/ValidateEmail.h"
#include "ui/FieldLabels.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TemplateForm::TemplateForm(HtmlEditor* editor, QWidget* parent) : QDialog(parent), m_editor(editor) {
    SetUpDialog(this, QStringLiteral("Insert Email Template"), QStringLiteral("Message Options.htm"));

    auto* listLabel = new QLabel(QStringLiteral("Available Templates:"), this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("EmailListBox"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->addItems(TemplateNames());
    m_list->setCurrentRow(-1);
    m_list->clearSelection();
    m_list->setFixedSize(150, 110);
    NameAfterLabel(listLabel, m_list);

    auto box = [this](const char* name, int maxLength) {
        auto* b = new QLineEdit(this);
        b->setObjectName(QLatin1String(name));
        b->setMaxLength(maxLength);
        b->setMinimumWidth(240);
        return b;
    };
    m_company = box("CompanyTextBox", 64);
    m_webSite = box("WebSiteTextBox", 64);
    m_email = box("EmailTextBox", 255);
    m_subject = box("SubjectTextBox", 64);
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Company :"), m_company);
    fields->addRow(QStringLiteral("Web Site :"), m_webSite);
    fields->addRow(QStringLiteral("Unsubscribe Email :"), m_email);
    fields->addRow(QStringLiteral("Unsubscribe Subject :"), m_subject);

    const DialogButtons dialogButtons = MakeDialogButtons(this);
    QPushButton* ok = dialogButtons.ok;
    QPushButton* cancel = dialogButtons.cancel;
    connect(ok, &QPushButton::clicked, this, &TemplateForm::OKButton_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &TemplateForm::OKButton_Click);

    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(listLabel);
    left->addWidget(m_list);
    left->addStretch(1);
    top->addLayout(left);
    top->addLayout(fields, 1);
    QHBoxLayout* buttons = dialogButtons.row;
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

void TemplateForm::OKButton_Click() {
    for (QLineEdit* b : {m_company, m_webSite, m_email, m_subject})
        b->setText(TrimBlanks(b->text()));

    const QList<QListWidgetItem*> chosen = m_list->selectedItems();
    if (chosen.isEmpty()) {
        WarnAndFocus(m_list, QStringLiteral("Please select a template."));
        return;
    }
    const struct {
        QLineEdit* box;
        const char* message;
    } required[] = {
        {m_company, "Please enter your company name."},
        {m_webSite, "Please enter your web site."},
        {m_email, "Please enter unsubscribe email."},
    };
    for (const auto& r : required) {
        if (r.box->text().isEmpty()) {
            WarnAndFocus(r.box, QString::fromLatin1(r.message));
            return;
        }
    }
    if (!ValidateEmail(m_email->text(), this)) {
        m_email->setFocus();
        return;
    }
    if (m_subject->text().isEmpty()) {
        WarnAndFocus(m_subject, QStringLiteral("Please enter unsubscribe subject."));
        return;
    }

    if (m_editor) {
        // Cancel, a cancelled save dialog, a file kept locked or a save that failed keep the dialog
        // open and the document as it is.
        if (!PromptSaveChanges(this, m_editor))
            return;
        const int row = m_list->row(chosen.first());
        const QString filled = FillTemplate(
            StoredTemplate(row), row,
            {m_company->text(), m_webSite->text(), m_email->text(), m_subject->text()}, ProgramFolder());
        m_editor->NewDocument();
        m_editor->SetDocumentHTML(filled);
    }
    accept();
}
