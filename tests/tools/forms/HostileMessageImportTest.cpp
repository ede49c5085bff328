// Message files that are hard on the import into the composer: thousands of attachments of one name, a
// large text body.
#include "tests/support/ProcessMeasures.h"
#include "tests/support/TestComposer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/HostileMessages.h"
#include "tests/tools/MessageFileFixture.h"
#include "tools/forms/MessageImport.h"

#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using testenv::kSanitized;
using toolstest::Measured;

class HostileMessageImport : public toolstest::MessageFileFixture {
protected:
    void SetUp() override {
        MessageFileFixture::SetUp();
        composer.format = MessageFormat::Html;
    }

    testenv::TestComposer composer; // without an editor: the body goes nowhere
};

TEST_F(HostileMessageImport, NumbersAttachmentsOfOneNameInLinearTime) {
    const QString file = testenv::WriteFile(path(QStringLiteral("same.eml")), toolstest::SameNamed(10000));
    MessageImportOutcome imported;
    Measured([&] { imported = ImportMessageIntoComposer(file, composer); });
    EXPECT_TRUE(imported.done);
    ASSERT_EQ(10000, composer.attachments.size());
    const QSet<QString> distinct(composer.attachments.begin(), composer.attachments.end());
    EXPECT_EQ(10000, distinct.size());
    EXPECT_EQ(QByteArray("9999"), testenv::ReadFile(composer.attachments.at(9999)));
}

// A large text body costs less than three times the file to import.
TEST_F(HostileMessageImport, ALargeTextBodyCostsLessThanThreeTimesItsSize) {
    const QByteArray bytes = toolstest::LargeTextMessage();
    const QString file = testenv::WriteFile(path(QStringLiteral("big.eml")), bytes);
    MessageImportOutcome imported;
    const qint64 growth = Measured([&] { imported = ImportMessageIntoComposer(file, composer); });
    EXPECT_TRUE(imported.done);
    EXPECT_EQ(MessageFormat::Text, composer.format);
    if (!kSanitized) {
        EXPECT_LT(growth, 3 * bytes.size()) << "bytes of memory to import " << bytes.size();
    }
}

} // namespace
