#pragma once
// Helpers shared by the recipient window tests: a fresh database with groups and recipients, rows read
// back, and a way to act on the modal dialog a button opens.
#include "core/Database.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace rtest {

inline qint32 AddGroup(const QString& name) {
    Connection db;
    db.Open();
    db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('") + SqlQuote(name) + "')");
    return GroupByName(db, name).id;
}

inline void AddRecipients(qint32 groupId, const QList<QStringList>& rows) {
    Connection db;
    db.Open();
    for (const QStringList& r : rows)
        db.ExecuteWrite(
            QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email], [G-FirstName], [G-LastName]) "
                           "VALUES (%1, '%2', '%3', '%4')")
                .arg(groupId)
                .arg(SqlQuote(r.value(0)), SqlQuote(r.value(1)), SqlQuote(r.value(2))));
}

// One column of every row of a group, in the order added.
inline QStringList Column(qint32 groupId, const QString& column) {
    Connection db;
    db.Open();
    QStringList values;
    Recordset rs =
        db.Execute(QStringLiteral("SELECT * FROM [Emails] WHERE [G-ID] = %1 ORDER BY [ID]").arg(groupId));
    for (; !rs.Eof(); rs.MoveNext())
        values << rs.Field(column);
    return values;
}

inline QStringList GroupNames() {
    Connection db;
    db.Open();
    QStringList names;
    Recordset rs = db.Execute(QStringLiteral("SELECT [GroupName] FROM [Groups] ORDER BY [ID]"));
    for (; !rs.Eof(); rs.MoveNext())
        names << rs.Field(QStringLiteral("GroupName"));
    return names;
}

inline QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// Runs action on the next modal dialog that opens, then makes sure it is closed.
inline void OnNextModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, [action] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        action(dialog);
        if (dialog->isVisible())
            dialog->close();
    });
}

inline void SetText(QWidget* dialog, const char* name, const QString& text) {
    if (auto* box = dialog->findChild<QComboBox*>(QString::fromLatin1(name)))
        box->setEditText(text);
    else
        dialog->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(text);
}

// A fresh database and a main-window group list of the test's own.
class RecipientTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::FreshDataPath();
        to = std::make_unique<QComboBox>();
    }
    // The group list follows the groups the window says it changed, as the main window's does: it
    // shows them with the first one chosen.
    template <typename Form>
    void FollowGroups(Form* form) {
        QObject::connect(form, &Form::groupsChanged, to.get(), [this](const QStringList& names) {
            to->clear();
            to->addItems(names);
            to->setCurrentIndex(names.isEmpty() ? -1 : 0);
        });
    }

    std::unique_ptr<QComboBox> to;
    testenv::MessageBoxRecorder boxes;
};

} // namespace rtest
