#include "core/Settings.h"
#include "core/CharacterSettings.h"
#include "core/SettingsKeys.h"
#include "tests/support/FileEvents.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { testenv::ClearSettings(); }
};

TEST_F(SettingsTest, DefaultsAndStoredValues) {
    EXPECT_EQ(QString(), GetSetting(Sections::Account, Keys::Name));
    EXPECT_EQ(QStringLiteral("1"), GetSetting(Sections::Options, Keys::Tips, QStringLiteral("1")));
    EXPECT_EQ(QStringLiteral("Personal"),
              GetSetting(Sections::Account, Keys::Method, QStringLiteral("Personal")));
    SaveSetting(Sections::Account, Keys::Name, QStringLiteral("Smith, John"));
    SaveSetting(Sections::Signature, Keys::Message, QStringLiteral("<p>Best regards,\r\nJohn</p>"));
    SaveSetting(Sections::Options, Keys::Tips, QStringLiteral("0"));
    EXPECT_EQ(QStringLiteral("Smith, John"), GetSetting(Sections::Account, Keys::Name));
    EXPECT_EQ(QStringLiteral("<p>Best regards,\r\nJohn</p>"), GetSetting(Sections::Signature, Keys::Message));
    EXPECT_EQ(QStringLiteral("0"), GetSetting(Sections::Options, Keys::Tips, QStringLiteral("1")));
    // Keys are case-sensitive, as stored.
    EXPECT_EQ(QString(), GetSetting(QStringLiteral("account"), QStringLiteral("name")));
}

TEST_F(SettingsTest, TableEntriesReadTheirDefaultUntilAValueIsStoredUnderTheOldNames) {
    EXPECT_EQ(QStringLiteral("25"), GetSetting(Setting::AccountPort));
    EXPECT_EQ(QStringLiteral("Second"), GetSetting(Setting::SmtpThreadMode));
    EXPECT_EQ(QString(), GetSetting(Setting::OptionsFirstTip));
    // One key, two readings of its absence; once stored, both read the stored text.
    EXPECT_EQ(QStringLiteral("Quoted Printable"), GetSetting(Setting::AccountHeaderEncoding));
    EXPECT_EQ(QStringLiteral("None"), GetSetting(Setting::AccountHeaderEncodingShown));
    SaveSetting(Setting::AccountHeaderEncoding, QStringLiteral("Base 64"));
    EXPECT_EQ(QStringLiteral("Base 64"), GetSetting(Setting::AccountHeaderEncodingShown));
    // A stored empty text is a value, not a missing key.
    SaveSetting(Setting::AccountPort, QString());
    EXPECT_EQ(QString(), GetSetting(Setting::AccountPort));
    SaveSetting(Setting::Imap4ThreadMode, QStringLiteral("No"));

    QFile f(SettingsFilePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("[Account]\nHeaderEncoding=Base 64\nPort=\n")) << text.constData();
    EXPECT_TRUE(text.contains("[IMAP4-Thread]\nMode=No\n")) << text.constData();
}

TEST_F(SettingsTest, SurvivesRestartAndIsPrivate) {
    SaveSetting(Sections::SmtpThread, Keys::Mode, QStringLiteral("Multi Thread"));
    const QString file = SettingsFilePath();
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_EQ(QFile::ReadOwner | QFile::WriteOwner,
              QFile::permissions(file) & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                          QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("[SMTP-Thread]"));
    EXPECT_EQ(QStringLiteral("Multi Thread"), GetSetting(Sections::SmtpThread, Keys::Mode));
}

// The file can hold the SMTP password: it is never readable by others, not even between its write and
// a later change of its mode (a permissive umask makes such a window visible).
TEST_F(SettingsTest, TheFileIsPrivateFromTheMomentItExists) {
    const QString file = SettingsFilePath();
    const QString folder = QFileInfo(file).path();
    QDir().mkpath(folder);
    const mode_t oldMask = ::umask(0);
    testenv::FolderEvents events(folder);
    SaveSetting(Sections::Account, Keys::Password, QStringLiteral("secret"));
    SaveSetting(Sections::Account, Keys::Server, QStringLiteral("mail.example.com"));
    ::umask(oldMask);
    const QStringList seen = events.eventsFor(QFileInfo(file).fileName());
    EXPECT_FALSE(seen.isEmpty());
    EXPECT_FALSE(seen.contains(QStringLiteral("attrib"))) << seen.join(' ').toStdString();
    struct stat st {};
    ASSERT_EQ(0, ::stat(QFile::encodeName(file).constData(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777u);
    EXPECT_EQ(QStringLiteral("secret"), GetSetting(Sections::Account, Keys::Password));

    // A file left readable by an older copy is closed before the next write.
    QFile::setPermissions(file, QFile::permissions(file) | QFile::ReadOther | QFile::ReadGroup);
    SaveSetting(Sections::Account, Keys::Server, QStringLiteral("smtp.example.com"));
    ASSERT_EQ(0, ::stat(QFile::encodeName(file).constData(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777u);
}

TEST_F(SettingsTest, DeleteSettingRemovesOnlyThatSection) {
    SaveSetting(Sections::Account, Keys::Server, QStringLiteral("mail.example.com"));
    SaveSetting(Sections::Account, Keys::Port, QStringLiteral("587"));
    SaveSetting(Sections::Options, Keys::FirstTip, QStringLiteral("2"));
    DeleteSetting(Sections::Account);
    DeleteSetting(QStringLiteral("NoSuchSection"));
    EXPECT_EQ(QStringLiteral("25"), GetSetting(Sections::Account, Keys::Port, QStringLiteral("25")));
    EXPECT_EQ(QString(), GetSetting(Sections::Account, Keys::Server));
    EXPECT_EQ(QStringLiteral("2"), GetSetting(Sections::Options, Keys::FirstTip));
}

TEST_F(SettingsTest, CharsetFollowsTheAccountChoiceExactly) {
    EXPECT_EQ(QStringLiteral("Windows-1252"), GetCharset());
    const std::pair<const char*, const char*> cases[] = {
        {"Korean", "iso-ir-149"}, {"Japanese (Shift-JIS)", "shift-jis"}, {"western european (windows)", ""},
        {"Korean ", ""},          {"Unicode (UTF-8)", "utf-8"},
    };
    for (const auto& [name, mime] : cases) {
        SaveSetting(Sections::Account, Keys::CharSet, QString::fromUtf8(name));
        EXPECT_EQ(QString::fromLatin1(mime), GetCharset()) << name;
    }
    EXPECT_EQ(37u, CharsetTable.size());
    EXPECT_STREQ("Arabic (ISO)", CharsetTable.front().displayName);
    EXPECT_STREQ("Western European (Windows)", CharsetTable.back().displayName);
}

} // namespace
