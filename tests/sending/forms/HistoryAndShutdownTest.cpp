// The History Manager, the shutdown countdown, the thread options.
#include "core/Globals.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "sending/HistoryStore.h"
#include "sending/forms/HistoryManagerForm.h"
#include "sending/forms/ShutDownForm.h"
#include "sending/forms/ThreadForm.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"
#include "ui/ShellOpener.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {
// Records what would be opened while it lives.
class RecordingOpener {
public:
    RecordingOpener() {
        SetFileOpenerForTesting([this](const QString& path) {
            opened << path;
            return true;
        });
    }
    ~RecordingOpener() { SetFileOpenerForTesting(nullptr); }
    QStringList opened;
};

class FakePowerOff : public PowerOffService {
public:
    explicit FakePowerOff(bool accept) : m_accept(accept) { SetPowerOffService(this); }
    ~FakePowerOff() override { SetPowerOffService(nullptr); }
    bool requestPowerOff() override {
        ++calls;
        return m_accept;
    }
    int calls = 0;

private:
    bool m_accept;
};

void Touch(const QString& name) {
    QDir().mkpath(HistoryFolder());
    QFile f(HistoryFolder() + name);
    f.open(QIODevice::WriteOnly);
    f.write("x");
}
} // namespace

TEST(HistoryManager, ListsLogsOpensThemAndDeletesTheWholeHistory) {
    testenv::FreshDataPath();
    Touch(QStringLiteral("12-08-2026_01-31-05_Spring.txt"));
    Touch(QStringLiteral("12-08-2026_01-31-05_Spring.eml"));
    Touch(QStringLiteral("notes.txt"));
    Touch(QStringLiteral("other.eml"));
    RecordingOpener opener;
    testenv::MessageBoxRecorder boxes;

    HistoryManagerForm form;
    auto* grid = form.findChild<QTableWidget*>(QStringLiteral("MSFlexGrid"));
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->item(0, 0)->text(), QStringLiteral("1"));
    EXPECT_EQ(grid->item(0, 1)->text(),
              QStringLiteral("Date = 12-08-2026  -  Time = 01-31-05 - Subject = Spring"));
    EXPECT_EQ(grid->item(1, 1)->text(), QString());

    grid->setCurrentCell(0, 1);
    form.OpenLogButton_Click();
    form.OpenMessageButton_Click();
    EXPECT_EQ(opener.opened,
              (QStringList{HistoryFolder() + QStringLiteral("12-08-2026_01-31-05_Spring.txt"),
                           HistoryFolder() + QStringLiteral("12-08-2026_01-31-05_Spring.eml")}));
    grid->setCurrentCell(1, 1);
    form.OpenMessageButton_Click();
    EXPECT_EQ(boxes.last(), QStringLiteral("Original Message is not available."));
    QFile::remove(HistoryFolder() + QStringLiteral("notes.txt"));
    form.OpenLogButton_Click();
    EXPECT_EQ(boxes.last(), QStringLiteral("Server Log is not available."));

    boxes.answer(QMessageBox::No);
    form.DeleteHistoryButton_Click();
    EXPECT_EQ(QDir(HistoryFolder()).entryList(QDir::Files).size(), 3);
    boxes.answer(QMessageBox::Yes);
    form.DeleteHistoryButton_Click();
    EXPECT_EQ(boxes.last(), QStringLiteral("Are you sure you want to delete your history?"));
    EXPECT_TRUE(QDir(HistoryFolder()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(QDir(HistoryFolder()).exists());
}

// Without a program for logs and messages the buttons would do nothing visible: they say where the
// file is.
TEST(HistoryManager, ALogOrMessageNoProgramOpensIsShownByItsPlace) {
    testenv::FreshDataPath();
    Touch(QStringLiteral("12-08-2026_01-31-05_Spring.txt"));
    Touch(QStringLiteral("12-08-2026_01-31-05_Spring.eml"));
    QStringList tried;
    SetFileOpenerForTesting([&tried](const QString& path) {
        tried << path;
        return false;
    });
    testenv::MessageBoxRecorder boxes;
    HistoryManagerForm form;
    form.findChild<QTableWidget*>(QStringLiteral("MSFlexGrid"))->setCurrentCell(0, 1);
    form.OpenLogButton_Click();
    form.OpenMessageButton_Click();
    SetFileOpenerForTesting(nullptr);
    const QString base = HistoryFolder() + QStringLiteral("12-08-2026_01-31-05_Spring");
    EXPECT_EQ(tried, (QStringList{base + QStringLiteral(".txt"), base + QStringLiteral(".eml")}));
    EXPECT_EQ(boxes.texts(),
              (QStringList{QStringLiteral("The log could not be opened. It is stored in the file:\n") + base +
                               QStringLiteral(".txt"),
                           QStringLiteral("The message could not be opened. It is stored in the file:\n") +
                               base + QStringLiteral(".eml")}));
}

// A subject may be 64 characters long: its row must be readable in full, not cut off with "...".
TEST(HistoryManager, DetailsColumnHoldsTheLongestRow) {
    testenv::FreshDataPath();
    Touch(QStringLiteral("12-08-2026_01-31-05_Spring.txt"));
    HistoryManagerForm shortForm;
    auto* shortGrid = shortForm.findChild<QTableWidget*>(QStringLiteral("MSFlexGrid"));
    EXPECT_EQ(shortGrid->columnWidth(1), 6225 / 15);

    Touch(QStringLiteral("12-08-2026_01-31-06_") + QString(64, QLatin1Char('W')) + QStringLiteral(".txt"));
    HistoryManagerForm form;
    auto* grid = form.findChild<QTableWidget*>(QStringLiteral("MSFlexGrid"));
    ASSERT_EQ(grid->rowCount(), 2);
    for (int row = 0; row < 2; ++row)
        EXPECT_LT(grid->fontMetrics().horizontalAdvance(grid->item(row, 1)->text()), grid->columnWidth(1));
}

// A cancelled run is told from a finished one in the list, with where it stopped; a finished run's row
// stays as it was.
TEST(HistoryManager, ACancelledRunSaysSoInItsRow) {
    testenv::FreshDataPath();
    QDir().mkpath(HistoryFolder());
    const QByteArray end = "Personal Sending process has been completed.\r\n";
    auto log = [](const char* name, const QByteArray& text) {
        QFile f(HistoryFolder() + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Personal Sending process has been started.\r\nSending to 3 recipients.\r\n\r\n" + text +
                "\r\n");
    };
    log("12-08-2026_01-31-05_A.txt",
        "The sending process was cancelled after recipient #2; #3 and later were not sent.\r\n" + end +
            "2 messages sent during process.\r\n");
    log("12-08-2026_01-31-06_B.txt", "The sending process was cancelled before recipient #1.\r\n" + end);
    log("12-08-2026_01-31-07_C.txt", end + "3 messages sent during process.\r\n");
    HistoryManagerForm form;
    auto* grid = form.findChild<QTableWidget*>(QStringLiteral("MSFlexGrid"));
    ASSERT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->item(0, 1)->text(),
              QStringLiteral("Date = 12-08-2026  -  Time = 01-31-05 - Subject = A - "
                             "Cancelled after recipient #2; #3 and later were not sent"));
    EXPECT_EQ(grid->item(1, 1)->text(),
              QStringLiteral("Date = 12-08-2026  -  Time = 01-31-06 - Subject = B - "
                             "Cancelled before recipient #1"));
    EXPECT_EQ(grid->item(2, 1)->text(),
              QStringLiteral("Date = 12-08-2026  -  Time = 01-31-07 - Subject = C"));
}

TEST(HistoryManager, MessagesWithoutLogsListNothing) {
    testenv::FreshDataPath();
    Touch(QStringLiteral("12-08-2026_01-31-05_Spring.eml"));
    testenv::MessageBoxRecorder boxes;
    HistoryManagerForm form;
    EXPECT_FALSE(form.findChild<QTableWidget*>(QStringLiteral("MSFlexGrid"))->isEnabled());
    form.DeleteHistoryButton_Click();
    form.OpenLogButton_Click();
    form.OpenMessageButton_Click();
    EXPECT_EQ(boxes.texts(), (QStringList{QStringLiteral("There is no history to delete."),
                                          QStringLiteral("There is no log to view."),
                                          QStringLiteral("There is no message to view.")}));
}

TEST(ShutDownCountdown, PowersOffAfterSixtySecondsAndClosesTheSendingWindow) {
    FakePowerOff powerOff(true);
    ShuttingDown = false;
    QDialog sendingWindow;
    sendingWindow.show();
    ShutDownForm form(&sendingWindow);
    form.show();
    auto* counter = form.findChild<QLabel*>(QStringLiteral("Label4"));
    EXPECT_EQ(counter->text(), QStringLiteral("60"));
    for (int i = 0; i < 59; ++i)
        form.tick();
    EXPECT_EQ(counter->text(), QStringLiteral("1"));
    EXPECT_EQ(powerOff.calls, 0);
    // Neither Escape nor the close request ends the countdown.
    form.reject();
    form.close();
    EXPECT_TRUE(form.isVisible());
    form.tick();
    EXPECT_EQ(powerOff.calls, 1);
    EXPECT_TRUE(ShuttingDown);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(sendingWindow.isVisible());
    ShuttingDown = false;
}

TEST(ShutDownCountdown, RefusedPowerOffClearsTheFlagAndTellsTheUser) {
    FakePowerOff powerOff(false);
    testenv::MessageBoxRecorder boxes;
    ShuttingDown = false;
    ShutDownForm form(nullptr);
    for (int i = 0; i < 60; ++i)
        form.tick();
    EXPECT_EQ(powerOff.calls, 1);
    EXPECT_FALSE(ShuttingDown);
    EXPECT_EQ(boxes.texts().size(), 1);
}

TEST(ShutDownCountdown, CancelStopsIt) {
    FakePowerOff powerOff(true);
    ShutDownForm form(nullptr);
    form.show();
    for (int i = 0; i < 59; ++i)
        form.tick();
    form.findChild<QPushButton*>(QStringLiteral("CancelButton"))->click();
    EXPECT_FALSE(form.isVisible());
    form.tick();
    EXPECT_EQ(powerOff.calls, 0);
    EXPECT_FALSE(ShuttingDown);
}

TEST(ThreadOptions, ShowsAndStoresEachSectionsMode) {
    testenv::ClearSettings();
    SaveSetting(Sections::Pop3Thread, Keys::Mode, QStringLiteral("Odd"));
    SaveSetting(Sections::Imap4Thread, Keys::Mode, QStringLiteral("No"));
    ThreadForm form;
    auto radio = [&](int i) { return form.findChild<QRadioButton*>(QStringLiteral("RadioButton%1").arg(i)); };
    EXPECT_TRUE(radio(3)->isChecked());
    EXPECT_FALSE(radio(4)->isChecked() || radio(5)->isChecked() || radio(6)->isChecked());
    EXPECT_TRUE(radio(7)->isChecked());
    radio(2)->setChecked(true);
    form.OKButton_Click();
    EXPECT_EQ(GetSetting(Sections::SmtpThread, Keys::Mode), QStringLiteral("Single"));
    EXPECT_EQ(GetSetting(Sections::Pop3Thread, Keys::Mode), QStringLiteral("Odd"));
    EXPECT_EQ(GetSetting(Sections::Imap4Thread, Keys::Mode), QStringLiteral("No"));
}
