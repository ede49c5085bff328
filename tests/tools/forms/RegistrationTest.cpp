// The main window's Extras and Help commands reach these windows through the command table.
#include "tests/support/TestComposer.h"
#include "tools/forms/RegisterSupportTools.h"
#include "ui/CommandWindows.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(SupportWindowsRegistration, EachCommandOpensItsWindowModally) {
    RegisterSupportWindows();
    testenv::TestComposer composer;
    const std::pair<int, const char*> commands[] = {
        {1078, "ExtraForm5"}, {1083, "SupportForm"}, {1084, "UpdateForm"}};
    for (const auto& [id, name] : commands) {
        ASSERT_TRUE(CommandWindows::IsRegistered(id)) << id;
        QString seen;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog) {
                seen = dialog->objectName();
                dialog->reject();
            }
        });
        EXPECT_TRUE(CommandWindows::Open(id, nullptr, composer));
        EXPECT_EQ(seen, QString::fromLatin1(name)) << id;
    }
}

} // namespace
