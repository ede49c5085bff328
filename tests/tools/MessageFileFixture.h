#pragma once
// What every message-file test starts from: no saved settings, a fresh data folder, and a private folder
// for the files it makes.
#include "tests/support/TestEnvironment.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace toolstest {

class MessageFileFixture : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::ClearSettings();
        testenv::FreshDataPath();
        ASSERT_TRUE(dir.isValid());
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

} // namespace toolstest
