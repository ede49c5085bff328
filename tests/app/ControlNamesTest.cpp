// Every input control of every window can be told apart by a screen reader: it has an accessible name,
// a text of its own (check and radio buttons), or a label tied to it as buddy.
#include "app/MainForm.h"
#include "app/SystemInfoForm.h"
#include "app/TipForm.h"
#include "recipients/forms/GroupForms.h"
#include "recipients/forms/GroupManagerForm.h"
#include "recipients/forms/RecipientForms.h"
#include "recipients/forms/RecipientSearchForm.h"
#include "sending/forms/EmailManagerForm.h"
#include "sending/forms/HistoryManagerForm.h"
#include "sending/forms/SendMailForm1.h"
#include "sending/forms/SignatureManagerForm.h"
#include "sending/forms/ThreadForm.h"
#include "tests/support/TestEnvironment.h"
#include "transfer/forms/RecipientExportForm.h"
#include "transfer/forms/RecipientImportForm.h"
#include "ui/FieldLabels.h"
#include "ui/HelpViewer.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextEdit>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

bool IsInput(const QWidget* w) {
    // The line edit inside an editable combo box and the list inside a combo's popup belong to the combo.
    if (qobject_cast<const QComboBox*>(w->parentWidget()))
        return false;
    // A table's header is part of the table.
    if (qobject_cast<const QHeaderView*>(w))
        return false;
    if (w->window() != w && qobject_cast<const QComboBox*>(w->window()->parentWidget()))
        return false;
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w);
}

// The inputs of a window that nothing names, described by class and object name.
QStringList Unnamed(QWidget* window) {
    QStringList unnamed;
    const QList<QLabel*> labels = window->findChildren<QLabel*>();
    for (QWidget* w : window->findChildren<QWidget*>()) {
        // The send window's hidden subject holder is not for the user.
        if (!IsInput(w) || w->objectName() == QLatin1String("TextSubject"))
            continue;
        if (!w->accessibleName().trimmed().isEmpty())
            continue;
        if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().trimmed().isEmpty())
            continue;
        const bool labelled =
            std::any_of(labels.begin(), labels.end(), [w](const QLabel* l) { return l->buddy() == w; });
        if (!labelled)
            unnamed << QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
    }
    return unnamed;
}

} // namespace

TEST(ControlNames, EveryInputOfEveryWindowIsNamed) {
    testenv::FreshDataPath();
    testenv::ClearSettings();
    QComboBox groups;
    groups.addItem(QStringLiteral("Friends"));
    const std::vector<std::pair<const char*, std::function<std::unique_ptr<QWidget>()>>> windows = {
        {"MainForm", [] { return std::make_unique<MainForm>(); }},
        {"GroupManagerForm", [] { return std::make_unique<GroupManagerForm>(); }},
        {"GroupNewForm", [&] { return std::make_unique<GroupNewForm>(&groups); }},
        {"RecipientAddForm", [] { return std::make_unique<RecipientAddForm>(QStringLiteral("Friends")); }},
        {"RecipientModifyForm",
         [] {
             return std::make_unique<RecipientModifyForm>(QStringLiteral("Friends"),
                                                          QStringLiteral("a@b.cd"));
         }},
        {"RecipientSearchForm",
         [] { return std::make_unique<RecipientSearchForm>(QStringLiteral("Friends")); }},
        {"RecipientImportForm", [] { return std::make_unique<RecipientImportForm>(); }},
        {"RecipientExportForm", [] { return std::make_unique<RecipientExportForm>(); }},
        {"EmailManagerForm", [] { return std::make_unique<EmailManagerForm>(); }},
        {"HistoryManagerForm", [] { return std::make_unique<HistoryManagerForm>(); }},
        {"SendMailForm1", [] { return std::make_unique<SendMailForm1>(); }},
        {"SignatureManagerForm", [] { return std::make_unique<SignatureManagerForm>(); }},
        {"ThreadForm", [] { return std::make_unique<ThreadForm>(); }},
        {"TipForm", [] { return std::make_unique<TipForm>(); }},
        {"SystemInfoForm", [] { return std::make_unique<SystemInfoForm>(); }},
        {"HelpViewer", [] { return std::make_unique<HelpViewer>(); }},
    };
    for (const auto& [name, make] : windows) {
        std::unique_ptr<QWidget> window = make();
        EXPECT_EQ(Unnamed(window.get()).join(QStringLiteral(", ")).toStdString(), "") << name;
    }
}

TEST(ControlNames, LabelTextsBecomeNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"Username :", "Username"},
        {"&Subject:", "Subject"},
        {"Send from recipient # :", "Send from recipient #"},
        {"A && B :", "A & B"},
        {"Find what :", "Find what"},
        {"", ""},
    };
    for (const auto& [label, name] : cases)
        EXPECT_EQ(AccessibleNameOf(QString::fromUtf8(label)).toStdString(), name) << label;
}
