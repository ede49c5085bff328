// Times the Group Manager's load of one large group against a bare read of the same rows through the
// SQLCipher library itself (same file, same statements, no window), in the same run, and prints the
// process's peak memory. Run: bin/bench_groupmanager [-n COUNT] [--search | --check]   (default 100,000)
// With --search the search window finds every recipient of the group (Email contains "@") instead; with
// --check the database check made while the program starts (SQLite's quick check) is timed instead.
#include "bench/support/BenchSupport.h"
#include "core/Database.h"
#include "core/DatabaseCheck.h"
#include "core/Paths.h"
#include "recipients/forms/GroupManagerForm.h"
#include "recipients/forms/RecipientSearchForm.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>

namespace {

bool fillDatabase(const QString& file, int count) {
    QString error;
    if (!CreateRecipientDatabase(file, &error)) {
        std::fprintf(stderr, "cannot create %s: %s\n", qPrintable(file), qPrintable(error));
        return false;
    }
    Connection db;
    if (!db.Open(file) || !db.BeginTransaction())
        return false;
    db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('Big')"));
    // One statement makes every row, so filling a million takes seconds, not minutes.
    const qint32 written = db.ExecuteWrite(
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                       "INSERT INTO [Emails] ([G-ID], [G-Email], [G-FirstName], [G-LastName]) "
                       "SELECT 1, 'recipient' || i || '@example.com', 'First' || i, 'Last' || i FROM n")
            .arg(count - 1));
    return written == count && db.Commit();
}

// The program's comparison rule, which the schema names for [GroupName] and the recipient columns.
int recipientText(void*, int n1, const void* p1, int n2, const void* p2) {
    return CompareRecipientText(QByteArrayView(static_cast<const char*>(p1), n1),
                                QByteArrayView(static_cast<const char*>(p2), n2));
}

// Runs one statement to its end, touching every text of every row; the bytes of text, or -1 when it
// cannot be prepared.
qint64 readAll(sqlite3* db, const QByteArray& sql, int* rows) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "bare read: %s\n", sqlite3_errmsg(db));
        return -1;
    }
    qint64 bytes = 0;
    *rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            sqlite3_column_text(stmt, c);
            bytes += sqlite3_column_bytes(stmt, c);
        }
        ++*rows;
    }
    sqlite3_finalize(stmt);
    return bytes;
}

// Opens the file with the key and runs the statements the window's loader runs, as it words them
// (GroupLoader in recipients/RecipientStore.cpp): the group's row, the count of its recipients, then
// its three shown columns in the order they were added. Nothing is kept. Milliseconds, or -1 when the
// read fails.
qint64 timeBareRead(const QString& file, int* rows) {
    QElapsedTimer clock;
    clock.start();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return -1;
    }
    sqlite3_create_collation(db, "JETTEXT", SQLITE_UTF8, nullptr, recipientText);
    const QByteArray key = QByteArray("PRAGMA key = '") + DatabasePassword + "';";
    sqlite3_exec(db, key.constData(), nullptr, nullptr, nullptr);
    int groups = 0;
    int counts = 0;
    const bool read =
        readAll(db, "SELECT * FROM [Groups] WHERE ([GroupName] = 'Big ')", &groups) >= 0 && groups == 1 &&
        readAll(db, "SELECT count(*) AS [N] FROM [Emails] WHERE ([G-ID] = '1 ')", &counts) > 0 &&
        readAll(db,
                "SELECT [G-Email], [G-FirstName], [G-LastName] FROM [Emails] WHERE ([G-ID] = '1 ') ORDER "
                "BY [ID]",
                rows) > 0;
    sqlite3_close(db);
    const qint64 elapsed = clock.elapsed();
    return read ? elapsed : -1;
}

// A line of /proc/self/status in MB ("VmHWM" is the peak resident size).
double statusMegabytes(const char* field) {
    return double(bench::StatusKb((QByteArray(field) + ':').constData())) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = bench::CountArgument(QApplication::arguments(), 100000);
    if (count < 1) {
        std::fprintf(stderr, "usage: bench_groupmanager [-n COUNT]  (COUNT >= 1)\n");
        return 2;
    }
    QTemporaryDir dir;
    SetDataPath(dir.path() + QLatin1Char('/'));
    const QString file = UserDatabasePath();
    std::printf("Filling %s with %d recipients...\n", qPrintable(file), count);
    if (!fillDatabase(file, count)) {
        std::fprintf(stderr, "cannot fill the database\n");
        return 1;
    }
    const double rssBefore = statusMegabytes("VmRSS");

    if (QApplication::arguments().contains(QStringLiteral("--check"))) {
        QElapsedTimer clock;
        clock.start();
        const DatabaseCheckResult answer = CheckDatabaseFile(file);
        const qint64 checkMs = clock.elapsed();
        std::printf("database check: %lld ms for a file of %.1f MB (%s)\n", static_cast<long long>(checkMs),
                    double(QFileInfo(file).size()) / (1024.0 * 1024.0),
                    answer.health == DatabaseHealth::Sound ? "sound" : qPrintable(answer.reason));
        return answer.health == DatabaseHealth::Sound ? 0 : 1;
    }

    if (QApplication::arguments().contains(QStringLiteral("--search"))) {
        qint64 searchMs = 0;
        int hits = 0;
        {
            GroupManagerForm manager;
            const QString group = manager.findChild<QComboBox*>(QStringLiteral("GroupComboBox"))->itemText(0);
            RecipientSearchForm form(group);
            form.show();
            QApplication::processEvents();
            form.findChild<QComboBox*>(QStringLiteral("CompareComboBox"))
                ->setCurrentText(QStringLiteral("Contains"));
            form.findChild<QLineEdit*>(QStringLiteral("EntryTextBox"))->setText(QStringLiteral("@"));
            QElapsedTimer clock;
            clock.start();
            form.SearchButton_Click();
            QApplication::processEvents();
            searchMs = clock.elapsed();
            hits = form.findChild<QTableView*>(QStringLiteral("MSFlexGrid"))->model()->rowCount();
        }
        std::printf("search window: %lld ms for %d hits\n", static_cast<long long>(searchMs), hits);
        std::printf("peak memory (VmHWM): %.1f MB (%.1f MB resident before the search)\n",
                    statusMegabytes("VmHWM"), rssBefore);
        return hits == count ? 0 : 1;
    }

    qint64 gridMs = 0;
    QString shown;
    {
        GroupManagerForm form;
        form.show();
        QApplication::processEvents();
        auto* groups = form.findChild<QComboBox*>(QStringLiteral("GroupComboBox"));
        auto* total = form.findChild<QLabel*>(QStringLiteral("Total"));
        groups->setCurrentIndex(0);
        QElapsedTimer clock;
        clock.start();
        form.LoadGroupRecipients();
        QApplication::processEvents(); // the grid shown and painted
        gridMs = clock.elapsed();
        shown = total->text();
    }
    const double peak = statusMegabytes("VmHWM");

    int bareRows = 0;
    const qint64 bareMs = timeBareRead(file, &bareRows);

    std::printf("Group Manager grid: %lld ms for %s recipients\n", static_cast<long long>(gridMs),
                qPrintable(shown));
    if (bareMs < 0) {
        std::printf("bare sqlcipher read: failed\n");
    } else {
        std::printf("bare sqlcipher read: %lld ms for %d rows\n", static_cast<long long>(bareMs), bareRows);
        std::printf("ratio grid / bare read: %.2f\n", double(gridMs) / double(qMax<qint64>(1, bareMs)));
    }
    std::printf("peak memory (VmHWM): %.1f MB (%.1f MB resident before the load)\n", peak, rssBefore);
    return shown == QString::number(count) ? 0 : 1;
}
