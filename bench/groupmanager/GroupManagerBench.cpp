// Times the Group Manager's load of a 40,000-recipient group against a bare SELECT of the same rows
// through the sqlcipher command line tool, on the same fresh database in the same run.
#include "core/Database.h"
#include "core/Paths.h"
#include "recipients/GroupManagerForm.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int kRecipients = 40000;

bool fillDatabase(const QString& file) {
    QString error;
    if (!CreateRecipientDatabase(file, &error)) {
        std::fprintf(stderr, "cannot create %s: %s\n", qPrintable(file), qPrintable(error));
        return false;
    }
    Connection db;
    if (!db.Open(file) || !db.BeginTransaction())
        return false;
    db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('Big')"));
    for (int i = 0; i < kRecipients; ++i)
        db.ExecuteWrite(
            QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email], [G-FirstName], [G-LastName]) "
                           "VALUES (1, 'recipient%1@example.com', 'First%1', 'Last%1')")
                .arg(i));
    return db.Commit();
}

// Wall time of the command line tool reading the rows (its start-up and key derivation included, as
// the window's own connection pays them too); -1 when the tool is missing or fails.
qint64 timeCliRead(const QString& file, int* rows) {
    QProcess cli;
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral("sqlcipher"), {file});
    if (!cli.waitForStarted())
        return -1;
    // The tool does not know the program's comparison rule, so it must not touch the index that uses it:
    // the rows are read straight from the table, in the order they were added, like the window reads them.
    cli.write(QByteArray("PRAGMA key = '") + DatabasePassword +
              "';\nSELECT [G-Email], [G-FirstName], [G-LastName] FROM [Emails] NOT INDEXED WHERE [G-ID] = 1 "
              "ORDER BY [ID];\n");
    cli.closeWriteChannel();
    QByteArray out;
    while (cli.state() != QProcess::NotRunning) {
        cli.waitForReadyRead(100);
        out += cli.readAllStandardOutput();
    }
    out += cli.readAllStandardOutput();
    const qint64 elapsed = clock.elapsed();
    *rows = 0;
    for (const QByteArray& line : out.split('\n'))
        if (line.contains('@'))
            ++*rows;
    if (cli.exitCode() != 0)
        std::fprintf(stderr, "sqlcipher: %s\n", cli.readAllStandardError().constData());
    return cli.exitCode() == 0 ? elapsed : -1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SetDataPath(dir.path() + QLatin1Char('/'));
    const QString file = UserDatabasePath();
    std::printf("Filling %s with %d recipients...\n", qPrintable(file), kRecipients);
    if (!fillDatabase(file))
        return 1;

    GroupManagerForm form;
    form.show();
    auto* groups = form.findChild<QComboBox*>(QStringLiteral("GroupComboBox"));
    auto* total = form.findChild<QLabel*>(QStringLiteral("Total"));
    groups->setCurrentIndex(0);
    QElapsedTimer clock;
    clock.start();
    form.LoadGroupRecipients();
    QApplication::processEvents(); // the grid shown and painted
    const qint64 gridMs = clock.elapsed();

    int cliRows = 0;
    const qint64 cliMs = timeCliRead(file, &cliRows);

    std::printf("Group Manager grid: %lld ms for %s recipients\n", static_cast<long long>(gridMs),
                qPrintable(total->text()));
    if (cliMs < 0) {
        std::printf("sqlcipher CLI read: not available\n");
    } else {
        std::printf("sqlcipher CLI read: %lld ms for %d rows\n", static_cast<long long>(cliMs), cliRows);
        std::printf("ratio grid / bare read: %.2f (target: under 1000 ms and within 5x)\n",
                    double(gridMs) / double(qMax<qint64>(1, cliMs)));
    }
    return 0;
}
