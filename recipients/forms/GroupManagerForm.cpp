#include "recipients/forms/GroupManagerForm.h"

#include "recipients/RecipientStore.h"
#include "recipients/forms/GroupForms.h"
#include "recipients/forms/RecipientForms.h"
#include "recipients/forms/RecipientGrid.h"
#include "recipients/forms/RecipientSearchForm.h"
#include "recipients/forms/TransferWindows.h"
#include "ui/FieldLabels.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr const char* kSpecifyGroup = "Please specify a group.";
constexpr const char* kNoRecipients = "The selected group does not contain any recipients.";
// Rows read between two turns of the message loop while a group loads.
constexpr int kLoadBatch = 2000;

} // namespace

GroupManagerForm::GroupManagerForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("GroupManagerForm"));
    SetUpDialog(this, QStringLiteral("Group Manager"), QStringLiteral("Group Manager 1.htm"));

    m_nameLabel = new QLabel(QStringLiteral("Groups:"), this);
    m_nameLabel->setObjectName(QStringLiteral("NameLabel"));
    m_groups = new QComboBox(this);
    m_groups->setObjectName(QStringLiteral("GroupComboBox"));
    m_groups->setMinimumWidth(240);
    NameAfterLabel(m_nameLabel, m_groups);

    m_model = new RecipientGridModel(this);
    m_grid = MakeRecipientGrid(this, m_model, {750, 2197, 2197, 2197}, [this] { ModifyButton_Click(); });

    auto* totalLabel = new QLabel(QStringLiteral("Total Recipients :"), this);
    totalLabel->setObjectName(QStringLiteral("Label"));
    m_total = new QLabel(this);
    m_total->setObjectName(QStringLiteral("Total"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar"));
    m_progress->setTextVisible(false);
    m_progress->hide();

    struct ButtonSpec {
        const char* name;
        const char* caption;
        void (GroupManagerForm::*slot)();
    };
    const ButtonSpec specs[] = {
        {"NewGroupButton", "New Group", &GroupManagerForm::NewGroupButton_Click},
        {"RenameGroupButton", "Rename Group", &GroupManagerForm::RenameGroupButton_Click},
        {"DeleteGroupButton", "Delete Group", &GroupManagerForm::DeleteGroupButton_Click},
        {"AddButton", "Add Recipient", &GroupManagerForm::AddButton_Click},
        {"ModifyButton", "Modify Recipient", &GroupManagerForm::ModifyButton_Click},
        {"DeleteButton", "Delete Recipient", &GroupManagerForm::DeleteButton_Click},
        {"SearchButton", "Search Recipient", &GroupManagerForm::SearchButton_Click},
        {"ImportButton", "Import", &GroupManagerForm::ImportButton_Click},
        {"ExportButton", "Export", &GroupManagerForm::ExportButton_Click},
    };
    auto* buttonColumn = new QVBoxLayout;
    for (const ButtonSpec& spec : specs) {
        auto* button = new QPushButton(QString::fromLatin1(spec.caption), this);
        button->setObjectName(QString::fromLatin1(spec.name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, spec.slot);
        buttonColumn->addWidget(button);
        m_buttons << button;
    }
    buttonColumn->addStretch();
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &GroupManagerForm::reject);
    buttonColumn->addWidget(close);

    connect(m_groups, &QComboBox::activated, this, &GroupManagerForm::LoadGroupRecipients);

    auto* top = new QHBoxLayout;
    top->addWidget(m_nameLabel);
    top->addWidget(m_groups, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(totalLabel);
    bottom->addWidget(m_total);
    bottom->addWidget(m_progress, 1);
    // The count stays beside its label while the progress bar is hidden.
    bottom->addStretch();
    auto* left = new QVBoxLayout;
    left->addLayout(top);
    left->addWidget(m_grid, 1);
    left->addLayout(bottom);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttonColumn);
    resize(820, 480);

    m_groups->addItems(ReadGroupNames());
    m_groups->setCurrentIndex(-1);
    ClearGrid();
}

void GroupManagerForm::reject() {
    // A load in progress sees this at its next turn of the message loop and stops.
    m_stopLoading = true;
    QDialog::reject();
}

void GroupManagerForm::SetTotal(int total) {
    m_total->setText(QString::number(total));
}

void GroupManagerForm::ClearGrid() {
    m_model->clear();
    m_grid->setEnabled(false);
    SetTotal(0);
}

void GroupManagerForm::SetLoadingState(bool loading) {
    m_nameLabel->setEnabled(!loading);
    m_groups->setEnabled(!loading);
    for (QPushButton* button : std::as_const(m_buttons))
        button->setEnabled(!loading);
    m_grid->setVisible(!loading);
    m_progress->setVisible(loading);
    QPalette palette = m_total->palette();
    palette.setColor(QPalette::WindowText, loading ? Qt::red : Qt::black);
    m_total->setPalette(palette);
}

void GroupManagerForm::LoadGroupRecipients() {
    const QString name = m_groups->currentText();
    if (name.isEmpty() || m_loading)
        return;
    m_loading = true;
    m_stopLoading = false;
    m_total->setText(QStringLiteral("Reading Group"));
    m_grid->setEnabled(false);
    SetLoadingState(true);
    m_model->clear();

    QPointer<GroupManagerForm> self(this);
    GroupLoader loader;
    bool more = loader.Start(name);
    m_progress->setRange(0, qMax(1, loader.Expected()));
    m_progress->setValue(0);
    m_model->reserve(loader.Expected());
    const GroupLoader::RowSink take = [this](QByteArrayView first, QByteArrayView last,
                                             QByteArrayView email) {
        m_model->addPending(first, last, email);
    };
    while (more) {
        more = loader.Read(kLoadBatch, take);
        m_model->showPending();
        m_progress->setValue(qMin(m_model->rowCount(), m_progress->maximum()));
        QCoreApplication::processEvents();
        if (!self)
            return; // the window is gone; the loader still closes its connection
        if (m_stopLoading)
            break;
    }
    loader.Finish();

    SetLoadingState(false);
    if (m_stopLoading) {
        // Closed while loading: show no half-read group.
        m_groups->setCurrentIndex(-1);
        ClearGrid();
    } else {
        SetTotal(m_model->rowCount());
        UpdateRecipientGridState(m_grid);
    }
    m_loading = false;
    // Rows that end at a damaged page are not the group: the grid says so rather than pass for it.
    if (!m_stopLoading && !loader.ReadError().isEmpty())
        ShowMessage(this, IncompleteListText(m_model->rowCount(), loader.ReadError()), QMessageBox::Warning);
}

bool GroupManagerForm::CheckGroup() {
    if (m_groups->currentText().isEmpty()) {
        WarnAndFocus(m_groups, QString::fromLatin1(kSpecifyGroup));
        return false;
    }
    return true;
}

bool GroupManagerForm::CheckRecipients() {
    if (!CheckGroup())
        return false;
    if (m_model->rowCount() == 0) {
        WarnAndFocus(m_groups, QString::fromLatin1(kNoRecipients));
        return false;
    }
    return true;
}

void GroupManagerForm::NewGroupButton_Click() {
    GroupNewForm form(m_groups, this);
    connect(&form, &GroupNameDialog::groupsChanged, this, &GroupManagerForm::groupsChanged);
    form.exec();
}

void GroupManagerForm::RenameGroupButton_Click() {
    if (!CheckGroup())
        return;
    {
        GroupRenameForm form(m_groups, this);
        connect(&form, &GroupNameDialog::groupsChanged, this, &GroupManagerForm::groupsChanged);
        form.exec();
    }
    // A rename (or a group found gone) refills the list without a selection: nothing is shown then.
    if (m_groups->currentIndex() < 0)
        ClearGrid();
}

void GroupManagerForm::DeleteGroupButton_Click() {
    if (!CheckGroup())
        return;
    const QString name = m_groups->currentText();
    if (!AskYesNo(this, QStringLiteral("Are you sure you want to delete '") + name + QStringLiteral("'?")))
        return;
    const StoreResult result = DeleteGroup(name);
    if (result == StoreResult::Failed) {
        ShowMessage(this, QString::fromLatin1(NotStoredText), QMessageBox::Warning);
        return;
    }
    emit groupsChanged(RefillGroupList(m_groups, false));
    ClearGrid();
    if (result == StoreResult::NotFound)
        ShowMessage(this, QString::fromLatin1(GroupNotFoundText), QMessageBox::Warning);
}

void GroupManagerForm::AddButton_Click() {
    if (!CheckGroup())
        return;
    const std::optional<GridRecipient> added = RecipientAddForm::Ask(m_groups->currentText(), this);
    if (!added)
        return;
    // The new row goes at the end whatever the group's order; a reload puts it in place.
    std::vector<GridRecipient> row{*added};
    m_model->append(std::move(row));
    UpdateRecipientGridState(m_grid);
    SetTotal(m_total->text().toInt() + 1);
}

void GroupManagerForm::ModifyButton_Click() {
    if (!CheckRecipients())
        return;
    if (ModifyGridRecipient(this, m_groups->currentText(), m_model, CurrentRecipientRow(m_grid),
                            "RecipientModifyForm1"))
        UpdateRecipientGridState(m_grid);
}

void GroupManagerForm::DeleteButton_Click() {
    if (!CheckRecipients())
        return;
    if (!DeleteGridRecipient(this, m_groups->currentText(), m_model, CurrentRecipientRow(m_grid)))
        return;
    UpdateRecipientGridState(m_grid);
    SetTotal(m_total->text().toInt() - 1);
}

void GroupManagerForm::SearchButton_Click() {
    if (!CheckRecipients())
        return;
    {
        RecipientSearchForm form(m_groups->currentText(), this);
        form.exec();
    }
    // What the search changed shows when the group is chosen again.
    m_groups->setCurrentIndex(-1);
    ClearGrid();
}

void GroupManagerForm::ImportButton_Click() {
    if (m_groups->count() == 0) {
        WarnAndFocus(m_groups, QStringLiteral("There is no group to import the data to."));
        return;
    }
    if (auto& open = OpenRecipientImportWindow(); open && open(this))
        LoadGroupRecipients();
}

void GroupManagerForm::ExportButton_Click() {
    if (m_groups->count() == 0) {
        WarnAndFocus(m_groups, QStringLiteral("There is no group to export the data from."));
        return;
    }
    if (auto& open = OpenRecipientExportWindow())
        open(this);
}
