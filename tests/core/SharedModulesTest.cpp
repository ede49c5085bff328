#include "core/FileWriting.h"
#include "core/ForwardFinder.h"
#include "core/GetBoundaryMarkPrefix.h"
#include "core/GetComputerName.h"
#include "core/GetWinVer.h"
#include "core/MessageChoices.h"
#include "core/Paths.h"
#include "core/TextUtil.h"
#include "core/WriteSendStatus.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(SendStatus, TextsOfTheTable) {
    EXPECT_EQ(QStringLiteral("Error 1: An exception has occurred."), SmtpResultText(1));
    EXPECT_EQ(
        QStringLiteral("Error 11: There was an error reading a file. If you have specified file attachments, "
                       "ensure that they exist and the you have access to them."),
        SmtpResultText(11));
    EXPECT_EQ(QStringLiteral("Error 27: Socket Timeout Error."), SmtpResultText(27));
    for (qint32 code : {0, 2, 12, 13, 14, 23, 28, -5})
        EXPECT_EQ(QStringLiteral("Error %1: Unknown Error.").arg(code), SmtpResultText(code));
    EXPECT_EQ(
        QStringLiteral("Error 6: There was an error terminating the conversation with the SMTP mail server."),
        SmtpResultText(6));
    // The account test and the server probe have no row for code 6.
    EXPECT_EQ(QStringLiteral("Error 6: Unknown Error."), SmtpResultText(6, false));
    EXPECT_EQ(SmtpResultText(9), SmtpResultText(9, false));
    EXPECT_EQ(QStringLiteral("There was an error sending your message.\r\nError 99: Unknown Error."),
              GetSendErrorText(99));
}

TEST(SendStatus, AppendAddsOneEmptyLineAfterEachEntry) {
    struct Log : SendLog {
        QString text;
        void append(const QString& t) override { text += t; }
    } log;
    AppendSendStatus(&log, 6);
    AppendSendStatus(&log, 20);
    EXPECT_EQ(SmtpResultText(6) + "\r\n\r\n" + SmtpResultText(20) + "\r\n\r\n", log.text);
    AppendSendStatus(nullptr, 6); // no log, no crash
}

TEST(BoundaryPrefix, AlternatesLettersAndNonZeroDigits) {
    const QRegularExpression shape(QStringLiteral("^([A-Z][1-9]){5}$"));
    for (int i = 0; i < 500; ++i) {
        const QString p = MakeBoundaryPrefix();
        ASSERT_TRUE(shape.match(p).hasMatch()) << p.toStdString();
    }
}

TEST(ComputerName, DotsRemoved) {
    EXPECT_EQ(QStringLiteral("SALESPC01"), ComputerNameFrom(QStringLiteral("SALES.PC01")));
    EXPECT_EQ(QStringLiteral("hostexamplecom"), ComputerNameFrom(QStringLiteral("host.example.com")));
    EXPECT_FALSE(GetLocalComputerName().contains('.'));
}

TEST(WindowsName, VersionTable) {
    struct Case {
        WindowsVersionInfo v;
        const char* name;
    };
    const Case cases[] = {
        {{2, 5, 1, 1}, "Windows XP"},
        {{2, 5, 2, 1}, "Windows XP"},
        {{2, 5, 2, 3}, "Windows Server 2003"},
        {{2, 6, 0, 1}, "Windows Vista"},
        {{2, 6, 1, 1}, "Windows 7"},
        {{2, 6, 1, 2}, "Windows Server 2008 R2"},
        {{2, 6, 3, 1}, "Windows 8.1"},
        {{2, 10, 0, 1}, "Windows 10"},
        {{2, 10, 0, 3}, "Windows Server 2016"},
        {{2, 5, 0, 1}, "Unknown Windows"},
        {{2, 10, 1, 1}, "Unknown Windows"},
        {{1, 6, 1, 1}, "Unknown Windows"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QString::fromLatin1(c.name), GetWindowsName(c.v)) << c.name;
}

TEST(WindowsName, MinimumSizes) {
    EXPECT_EQ(QSize(648, 507), MinimumWindowSizeFor(QStringLiteral("Windows 7")));
    EXPECT_EQ(QSize(640, 496), MinimumWindowSizeFor(QStringLiteral("Windows Server 2003")));
    EXPECT_EQ(QSize(648, 508), MinimumWindowSizeFor(QStringLiteral("Windows Server 2016")));
    EXPECT_EQ(QSize(0, 0), MinimumWindowSizeFor(QStringLiteral("Unknown Windows")));
    // The host's own name is accepted and treated like the newest system.
    EXPECT_NE(QStringLiteral("Unknown Windows"), GetWindowsName());
    EXPECT_EQ(QSize(648, 508), MinimumWindowSizeFor(GetWindowsName()));
}

TEST(TrimBlanks, SpacesOnly) {
    EXPECT_EQ(QStringLiteral("a b"), TrimBlanks(QStringLiteral("  a b  ")));
    EXPECT_EQ(QStringLiteral("\ta\n"), TrimBlanks(QStringLiteral(" \ta\n ")));
    EXPECT_EQ(QString(), TrimBlanks(QStringLiteral("   ")));
}

// The remembered position and the remembered miss must never answer a start they do not cover: a
// start past the last find, or before the start a miss was found from, searches again.
TEST(ForwardFinder, RemembersOnlyWhatStillHolds) {
    const QByteArray bytes("a?b?c");
    ForwardFinder<QByteArray> question(bytes, QByteArrayLiteral("?"));
    EXPECT_EQ(1, question.from(0));
    EXPECT_EQ(1, question.from(1));
    EXPECT_EQ(3, question.from(2));
    EXPECT_EQ(-1, question.from(4));
    EXPECT_EQ(-1, question.from(5));
    EXPECT_EQ(1, question.from(0));

    const QString text = QStringLiteral("<B>x</SCRIPT>y</script>");
    ForwardFinder<QString> anyCase(text, QStringLiteral("</script"), Qt::CaseInsensitive);
    EXPECT_EQ(4, anyCase.from(0));
    EXPECT_EQ(14, anyCase.from(5));
    ForwardFinder<QString> exactCase(text, QStringLiteral("</script"), Qt::CaseSensitive);
    EXPECT_EQ(14, exactCase.from(0));
    EXPECT_EQ(-1, exactCase.from(15));
}

TEST(Folders, DataPathAndPrivateTemp) {
    const QString base = QDir::tempPath() + QStringLiteral("/appdata-test");
    EXPECT_EQ(base + QStringLiteral("/Torvale/Velanto Ostrel/"),
              ResolveDataPath(base, QStringLiteral("/nowhere")));
    EXPECT_TRUE(QFileInfo(base + QStringLiteral("/Torvale/Velanto Ostrel")).isDir());
    const QString prog = QDir::tempPath() + QStringLiteral("/prog-test");
    EXPECT_EQ(prog + QStringLiteral("/Application Data/"), ResolveDataPath(QString(), prog));
    EXPECT_TRUE(QFileInfo(prog + QStringLiteral("/Application Data")).isDir());
    EXPECT_EQ(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner,
              QFile::permissions(base + QStringLiteral("/Torvale/Velanto Ostrel")) &
                  ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser));

    // An application-data folder in which ours cannot be made (here a file stands in its way, which
    // stops even root) falls back to the program folder instead of running without a data folder.
    const QString blocked = QDir::tempPath() + QStringLiteral("/appdata-blocked");
    QDir().mkpath(blocked);
    {
        QFile wall(blocked + QStringLiteral("/Torvale"));
        ASSERT_TRUE(wall.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(prog + QStringLiteral("/Application Data/"), ResolveDataPath(blocked, prog));
    const QString blocked2 = QDir::tempPath() + QStringLiteral("/appdata-blocked2");
    QDir().mkpath(blocked2 + QStringLiteral("/Torvale"));
    {
        QFile wall(blocked2 + QStringLiteral("/Torvale/Velanto Ostrel"));
        ASSERT_TRUE(wall.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(prog + QStringLiteral("/Application Data/"), ResolveDataPath(blocked2, prog));
    // When the fallback cannot be made either there is no data folder: start-up names those tried.
    const QString walled = QDir::tempPath() + QStringLiteral("/prog-walled");
    QDir().mkpath(walled);
    {
        QFile wall(walled + QStringLiteral("/Application Data"));
        ASSERT_TRUE(wall.open(QIODevice::WriteOnly));
    }
    QStringList tried;
    EXPECT_EQ(QString(), ResolveDataPath(blocked, walled, nullptr, &tried));
    EXPECT_EQ((QStringList{blocked + QStringLiteral("/Torvale/Velanto Ostrel"),
                           walled + QStringLiteral("/Application Data")}),
              tried);

    const QString temp = TempFolder();
    EXPECT_TRUE(temp.endsWith('/'));
    EXPECT_EQ(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner,
              QFile::permissions(temp) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser));

    // A link planted in place of the folder is never written through.
    const QString elsewhere = QDir::tempPath() + QStringLiteral("/planted-target");
    QDir().mkpath(elsewhere);
    ASSERT_TRUE(QDir(temp).removeRecursively());
    ASSERT_TRUE(QFile::link(elsewhere, temp.chopped(1)));
    const QString replacement = TempFolder();
    EXPECT_NE(temp, replacement);
    EXPECT_FALSE(QFileInfo(replacement.chopped(1)).isSymLink());
    QFile::remove(temp.chopped(1));
}

// A file without its owner's write bit is locked for everyone: for root too, whom the system lets write
// it anyway, and for a user; a user's view also counts a file they may not write as locked.
TEST(LockedFiles, AFileWithoutItsOwnersWriteBitIsLockedForRootAndForAUser) {
    QTemporaryDir dir(QStringLiteral("/tmp/velanto-locked-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    const auto make = [&](const char* name, mode_t mode) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        ::chmod(QFile::encodeName(path).constData(), mode);
        return path;
    };
    const QString readOnly = make("read-only", 0444);
    const QString ownersOnly = make("owners-only", 0644);
    const QString everyones = make("everyones", 0666);
    const QString missing = dir.filePath(QStringLiteral("missing"));
    EXPECT_TRUE(IsLockedFile(readOnly));
    EXPECT_FALSE(IsLockedFile(ownersOnly));
    EXPECT_FALSE(IsLockedFile(everyones));
    EXPECT_FALSE(IsLockedFile(missing));

    if (::geteuid() != 0)
        return; // a file of another user is planted by root only
    uid_t user = 54321;
    while (::getpwuid(user))
        ++user;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(user) != 0 || ::setuid(user) != 0)
            ::_exit(10);
        const int failed = (IsLockedFile(readOnly) ? 0 : 1) | (IsLockedFile(ownersOnly) ? 0 : 2) |
                           (IsLockedFile(everyones) ? 4 : 0) | (IsLockedFile(missing) ? 8 : 0);
        ::_exit(failed ? 20 + failed : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "20 + 1 read-only, 2 owner's, 4 everyone's, 8 missing";
}

} // namespace

// Every choice reads back as itself; a text the lists do not hold (case differs too) names none.
TEST(MessageChoices, TextsMapBothWaysAndUnknownTextsNameNothing) {
    for (MessageFormat f : {MessageFormat::Html, MessageFormat::Text})
        EXPECT_EQ(FormatFromText(FormatText(f)), f);
    for (MessagePriority p : {MessagePriority::Low, MessagePriority::Normal, MessagePriority::High})
        EXPECT_EQ(PriorityFromText(PriorityText(p)), p);
    for (SendingMethod m : {SendingMethod::Personal, SendingMethod::Bulk, SendingMethod::Third})
        EXPECT_EQ(SendingMethodFromKey(SendingMethodKey(m)), m);
    EXPECT_EQ(FormatText(MessageFormat::Html), QStringLiteral("HTML"));
    EXPECT_EQ(PriorityText(MessagePriority::High), QStringLiteral("High"));
    EXPECT_EQ(SendingMethodKey(SendingMethod::Third), QStringLiteral("Third"));
    EXPECT_EQ(FormatFromText(QStringLiteral("html")), std::nullopt);
    EXPECT_EQ(PriorityFromText(QStringLiteral("Urgent")), std::nullopt);
    EXPECT_EQ(SendingMethodFromKey(QStringLiteral("Odd")), SendingMethod::Personal);
    EXPECT_EQ(SendingMethodTextOfKey(QStringLiteral("Odd")), QString());
    EXPECT_EQ(SendingMethodTextOfKey(QStringLiteral("Third")), QStringLiteral("3rd Party Sending"));
}
