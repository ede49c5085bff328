// Combo boxes as a screen reader sees them once the program's interface is installed: named by their
// label, whatever item they show, with that item as their value and their list still reachable.
#include "ui/AccessibleComboBox.h"
#include "ui/FieldLabels.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

TEST(AccessibleComboBox, NamedByItsLabelWithTheShownItemAsValue) {
    InstallAccessibleComboBoxes();
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel(QStringLiteral("Email Address :"), &window);
    auto* mapping = new QComboBox(&window);
    mapping->addItems({QStringLiteral("Ignore"), QStringLiteral("Field 1 = x")});
    NameAfterLabel(label, mapping);
    // Named by a buddy label alone, and editable.
    auto* serverLabel = new QLabel(QStringLiteral("DNS &Server :"), &window);
    auto* server = new QComboBox(&window);
    server->setEditable(true);
    server->addItem(QStringLiteral("127.0.0.1"));
    serverLabel->setBuddy(server);
    auto* unnamed = new QComboBox(&window);
    unnamed->addItem(QStringLiteral("Normal"));
    for (QWidget* w : std::initializer_list<QWidget*>{label, mapping, serverLabel, server, unnamed})
        layout->addWidget(w);
    window.show();

    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(mapping);
    ASSERT_NE(nullptr, node);
    EXPECT_EQ(QAccessible::ComboBox, node->role());
    EXPECT_EQ(QStringLiteral("Email Address"), node->text(QAccessible::Name));
    EXPECT_EQ(QStringLiteral("Ignore"), node->text(QAccessible::Value));
    mapping->setCurrentIndex(1);
    EXPECT_EQ(QStringLiteral("Email Address"), node->text(QAccessible::Name));
    EXPECT_EQ(QStringLiteral("Field 1 = x"), node->text(QAccessible::Value));
    ASSERT_EQ(1, node->childCount());
    ASSERT_NE(nullptr, node->child(0));
    EXPECT_EQ(mapping->view(), node->child(0)->object());
    EXPECT_EQ(0, node->indexOfChild(node->child(0)));

    QAccessibleInterface* serverNode = QAccessible::queryAccessibleInterface(server);
    ASSERT_NE(nullptr, serverNode);
    EXPECT_EQ(QStringLiteral("DNS Server"), serverNode->text(QAccessible::Name));
    EXPECT_EQ(QStringLiteral("127.0.0.1"), serverNode->text(QAccessible::Value));
    EXPECT_TRUE(serverNode->state().editable);
    ASSERT_EQ(2, serverNode->childCount());
    EXPECT_EQ(server->lineEdit(), serverNode->child(1)->object());

    // A box without a label stays without a name, so the screen-reader check finds it.
    EXPECT_EQ(QString(), QAccessible::queryAccessibleInterface(unnamed)->text(QAccessible::Name));

    // A screen reader opens and closes the list.
    QAccessibleActionInterface* actions = node->actionInterface();
    ASSERT_NE(nullptr, actions);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::showMenuAction()));
    actions->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_TRUE(QTest::qWaitFor([&] { return mapping->view()->isVisible(); }, 5000));
    EXPECT_TRUE(node->state().expanded);
    actions->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !mapping->view()->isVisible(); }, 5000));
}

// A disabled box does not open its list for a screen reader, by either action; enabled again, it does.
TEST(AccessibleComboBox, DisabledBoxDoesNotOpenItsList) {
    InstallAccessibleComboBoxes();
    QWidget window;
    auto* box = new QComboBox(&window);
    box->addItem(QStringLiteral("Normal"));
    window.show();
    QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(box)->actionInterface();
    ASSERT_NE(nullptr, actions);
    for (const QString& action :
         {QAccessibleActionInterface::showMenuAction(), QAccessibleActionInterface::pressAction()}) {
        box->setEnabled(false);
        actions->doAction(action);
        QCoreApplication::processEvents();
        EXPECT_FALSE(box->view()->isVisible()) << action.toStdString();
        box->setEnabled(true);
        actions->doAction(action);
        EXPECT_TRUE(QTest::qWaitFor([&] { return box->view()->isVisible(); }, 5000)) << action.toStdString();
        box->hidePopup();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !box->view()->isVisible(); }, 5000));
    }
}
