#include "app/AboutForm.h"
#include "app/SplashForm.h"
#include "app/SystemInfoForm.h"
#include "app/TipForm.h"
#include "app/Tips.h"
#include "core/GetWinVer.h"
#include "core/Globals.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString option(const char* key) {
    return GetSetting(QString::fromLatin1(Sections::Options), QString::fromLatin1(key));
}
void setOption(const char* key, const QString& value) {
    SaveSetting(QString::fromLatin1(Sections::Options), QString::fromLatin1(key), value);
}

class TipTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::ClearSettings();
        TipOfTheDay::ResetRunForTesting();
        TipForced = false;
    }
    void TearDown() override { TipForced = false; }
};

TEST_F(TipTest, TheFirstRunTipComesOncePerRunWhileFirstTipAsksForIt) {
    setOption(Keys::FirstTip, QStringLiteral("2"));
    EXPECT_EQ(TipOfTheDay::Next(), TipOfTheDay::FirstRunTip());
    EXPECT_EQ(option(Keys::FirstTip), QStringLiteral("3"));
    // Later in the same run, and in every run from "3" on, the tips are random.
    EXPECT_TRUE(TipOfTheDay::Tips().contains(TipOfTheDay::Next()));
    EXPECT_GE(TipOfTheDay::CurrentTip(), 1);
    TipOfTheDay::ResetRunForTesting();
    EXPECT_NE(TipOfTheDay::Next(), TipOfTheDay::FirstRunTip());
    EXPECT_EQ(option(Keys::FirstTip), QStringLiteral("3"));

    // "0" moves to "1" and stays there for the rest of the run.
    TipOfTheDay::ResetRunForTesting();
    setOption(Keys::FirstTip, QStringLiteral("0"));
    EXPECT_EQ(TipOfTheDay::Next(), TipOfTheDay::FirstRunTip());
    EXPECT_NE(TipOfTheDay::Next(), TipOfTheDay::FirstRunTip());
    EXPECT_EQ(option(Keys::FirstTip), QStringLiteral("1"));
}

TEST_F(TipTest, WithoutFirstTipOnlyRandomTipsComeAndNothingIsStored) {
    for (int i = 0; i < 50; ++i) {
        const QString tip = TipOfTheDay::Next();
        ASSERT_EQ(tip, TipOfTheDay::Tips().at(TipOfTheDay::CurrentTip() - 1));
    }
    EXPECT_EQ(TipOfTheDay::Tips().size(), 31);
    QStringList tips = TipOfTheDay::Tips();
    EXPECT_EQ(tips.removeDuplicates(), 0);
    EXPECT_TRUE(GetSetting(QString::fromLatin1(Sections::Options), QString::fromLatin1(Keys::FirstTip),
                           QStringLiteral("missing")) == QStringLiteral("missing"));
}

TEST_F(TipTest, TipsSettingDecidesTheStartUpShowing) {
    EXPECT_TRUE(TipOfTheDay::ShowAtStartup());
    setOption(Keys::Tips, QStringLiteral("0"));
    EXPECT_FALSE(TipOfTheDay::ShowAtStartup());
    setOption(Keys::Tips, QStringLiteral("yes"));
    EXPECT_FALSE(TipOfTheDay::ShowAtStartup());
    setOption(Keys::Tips, QStringLiteral("1"));
    EXPECT_TRUE(TipOfTheDay::ShowAtStartup());
}

// Shows the tip the way start-up and the Tip of the Day command do; true when a window came up.
bool tipWindowShown() {
    bool shown = false;
    // The timer dies with this call: when no window comes up it must not fire into a later call's stack.
    QObject thisCall;
    QTimer::singleShot(50, &thisCall, [&] {
        if (auto* tip = qobject_cast<TipForm*>(QApplication::activeModalWidget())) {
            shown = true;
            tip->accept();
        }
    });
    TipForm::ShowTip(nullptr);
    QApplication::processEvents();
    QApplication::processEvents();
    return shown;
}

TEST_F(TipTest, TipsOffShowsNothingAtStartUpButTheCommandStillShowsTheWindow) {
    setOption(Keys::Tips, QStringLiteral("0"));
    EXPECT_FALSE(tipWindowShown());
    TipForced = true;
    EXPECT_TRUE(tipWindowShown());
}

TEST_F(TipTest, TheCheckBoxStoresItsStateAtOnce) {
    setOption(Keys::Tips, QStringLiteral("0"));
    TipForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tip of the Day"));
    auto* box = form.findChild<QCheckBox*>(QStringLiteral("TipCheckBox"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isChecked());
    box->click();
    EXPECT_EQ(option(Keys::Tips), QStringLiteral("0"));
    box->click();
    EXPECT_EQ(option(Keys::Tips), QStringLiteral("1"));
    auto* text = form.findChild<QLabel*>(QStringLiteral("TipText"));
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(TipOfTheDay::Tips().contains(text->text()));
    form.findChild<QPushButton*>(QStringLiteral("NextTipButton"))->click();
    EXPECT_EQ(text->text(), TipOfTheDay::Tips().at(TipOfTheDay::CurrentTip() - 1));
}

TEST(ShellWindowsTest, SplashAndAboutShowTheVersionAndTheSystem) {
    SplashForm splash;
    EXPECT_EQ(splash.findChild<QLabel*>(QStringLiteral("VersionNumber"))->text(), QStringLiteral("14"));
    EXPECT_EQ(splash.ProgressBar()->minimum(), 1);
    EXPECT_EQ(splash.ProgressBar()->maximum(), 500);

    AboutForm about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Torvale Velanto"));
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("Label1"))->text(),
              QStringLiteral("Torvale Velanto Ostrel Edition"));
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("Version 14.0"));
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("Label6"))->text(), GetWindowsName());
}

TEST(ShellWindowsTest, SystemInformationReadsProcessorAndMemory) {
    EXPECT_EQ(CpuModelFromCpuInfo(QStringLiteral("processor\t: 0\nmodel name\t: Example CPU @ 3.00GHz\n")),
              QStringLiteral("Example CPU @ 3.00GHz"));
    EXPECT_EQ(CpuModelFromCpuInfo(QStringLiteral("processor : 0\n")), QString());
    const QString meminfo =
        QStringLiteral("MemTotal:       16314312 kB\nMemFree:  1 kB\nMemAvailable:    2048 kB\n");
    EXPECT_EQ(MemInfoBytes(meminfo, QStringLiteral("MemTotal")), 16314312LL * 1024);
    EXPECT_EQ(MemInfoBytes(meminfo, QStringLiteral("MemAvailable")), 2048LL * 1024);
    EXPECT_EQ(MemInfoBytes(meminfo, QStringLiteral("SwapTotal")), -1);

    bool screens = false;
    for (const auto& row : SystemInformation())
        screens = screens || row.first.startsWith(QStringLiteral("Screen"));
    EXPECT_TRUE(screens);
}

} // namespace
