// The real send run for a group of recipients (sending window, HTML editor offscreen, recipient
// database) against smtp-sink on 127.0.0.1; then the same personalised messages sent by the mail
// library alone (no window, no database: the ceiling of the run) and by Python's smtplib from the same
// data. Prints the rates, their ratios and the run's peak memory.
//
//   bench_sendrun [-n COUNT] [--run-only]     (--run-only: no reference runs, for memory at large N)
//   bench_sendrun [-n COUNT] --rounds R       (R rounds of the run and the library back to back; the
//                                              medians, for a machine under changing load)
//   bench_sendrun --attach MB [-n COUNT]      (the run alone, every message with one attachment of MB
//                                              megabytes; default 10 recipients)
#include "bench/support/BenchSupport.h"
#include "core/CharacterSettings.h"
#include "core/Database.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "editor/HtmlEditor.h"
#include "mail/MimeComposer.h"
#include "mail/Smtp.h"
#include "sending/MergeMacros.h"
#include "sending/MessageSetup.h"
#include "sending/forms/ComposerInput.h"
#include "sending/forms/SendMailForm1.h"
#include "tests/support/TestComposer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {
// About 1 KB of HTML with five merge macros.
QString BodyHtml() {
    QString html = QStringLiteral("<html><head><title>Spring offer</title></head><body>"
                                  "<p>Dear $*MergeTitle*$ $*MergeFirstName*$ $*MergeLastName*$,</p>"
                                  "<p>our spring offer for $*MergeCompany*$ in $*MergeCity*$ is here.</p>");
    while (html.size() < 960)
        html +=
            QStringLiteral("<p>Every order placed this month ships free of charge, and our service team is "
                           "glad to help you choose.</p>");
    return html + QStringLiteral("</body></html>");
}

// Recipient i's values, the same for the database, the library run and the smtplib data.
QJsonObject RecipientValues(int i) {
    return QJsonObject{{QStringLiteral("G-Email"), QStringLiteral("r%1@bench.test").arg(i)},
                       {QStringLiteral("G-Title"), QStringLiteral("Dr.")},
                       {QStringLiteral("G-FirstName"), QStringLiteral("First%1").arg(i)},
                       {QStringLiteral("G-LastName"), QStringLiteral("Last%1").arg(i)},
                       {QStringLiteral("G-Company"), QStringLiteral("Company %1").arg(i)},
                       {QStringLiteral("G-City"), QStringLiteral("City %1").arg(i % 97)}};
}

// The same messages through the mail library alone: the set-up of the run once, then per recipient the
// body imported from its file, merged, the subject encoded, send, clear (what the account's rules make
// the run do, without the run). Returns the seconds, or -1 on a failure.
double LibraryRun(int count, const QString& bodyFile, const QString& subject, quint16 port) {
    mail::Smtp smtp;
    SetUpSmtp(smtp, MessagePriority::Normal, false);
    smtp.SetPort(port);
    const QString charset = GetCharset();
    const bench::Stopwatch stopwatch;
    if (smtp.Connect(0) != 0)
        return -1;
    for (int i = 1; i <= count; ++i) {
        const QJsonObject r = RecipientValues(i);
        const QString email = r.value(QStringLiteral("G-Email")).toString();
        smtp.AddRecipient(email, email, mail::RecipientKind::To);
        smtp.SetBodyFormat(1);
        smtp.ImportBodyFile(bodyFile, mail::ImportHtmlWithText);
        QString merged = subject;
        for (const MergeMacro& m : MergeMacros) {
            const QString value = r.value(QLatin1String(m.column)).toString();
            smtp.ReplaceMergeField(QString::fromLatin1(m.macro), value, 1);
            merged.replace(QLatin1String(m.macro), value);
        }
        smtp.SetSubject(smtp.EncodeHeaderText(merged, charset, mail::HeaderQuotedPrintable, 0));
        if (smtp.Send() != 0)
            return -1;
        smtp.ClearMessage(3);
    }
    smtp.Disconnect(0);
    return stopwatch.seconds();
}

// A file of mb megabytes of random bytes (they go base64 like any binary attachment), written a block
// at a time.
bool WriteAttachment(const QString& path, int mb) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < mb; ++i) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(block.data()),
                                              block.size() / qsizetype(sizeof(quint32)));
        if (f.write(block) != block.size())
            return false;
    }
    return f.flush();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The value after name among the arguments, 0 when there is none.
int IntArgument(const QStringList& arguments, const QString& name) {
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1].toInt() : 0;
}
} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    // Nothing of the user's own settings, data or temporary files is touched.
    for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "TMPDIR"}) {
        const QString path = home.filePath(QString::fromLatin1(var));
        QDir().mkpath(path);
        qputenv(var, path.toUtf8());
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    const int attachMb = IntArgument(app.arguments(), QStringLiteral("--attach"));
    const int count = bench::CountArgument(app.arguments(), attachMb > 0 ? 10 : 2000);
    const bool runOnly = attachMb > 0 || app.arguments().contains(QStringLiteral("--run-only"));
    const int rounds = std::max(1, IntArgument(app.arguments(), QStringLiteral("--rounds")));
    if (count <= 0 || attachMb < 0) {
        std::fprintf(stderr, "usage: bench_sendrun [-n COUNT]\n");
        return 2;
    }

    const QString data = home.filePath(QStringLiteral("data/"));
    QDir().mkpath(data + QStringLiteral("History"));
    SetDataPath(data);
    if (!QFile::copy(ProgramFolder() + QStringLiteral("Group.mdb"), UserDatabasePath())) {
        std::fprintf(stderr, "no shipped Group.mdb beside the program\n");
        return 1;
    }

    // The group (the references build the same rows again after the run).
    {
        Connection db;
        if (!db.Open() ||
            db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('Bench')")) != 1)
            return 1;
        const qint32 id = GroupByName(db, QStringLiteral("Bench")).id;
        db.BeginTransaction();
        for (int i = 1; i <= count; ++i) {
            const QJsonObject r = RecipientValues(i);
            db.ExecuteWrite(
                QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email], [G-Title], [G-FirstName], "
                               "[G-LastName], [G-Company], [G-City]) VALUES (%1, '%2', '%3', '%4', "
                               "'%5', '%6', '%7')")
                    .arg(id)
                    .arg(r[QStringLiteral("G-Email")].toString(), r[QStringLiteral("G-Title")].toString(),
                         r[QStringLiteral("G-FirstName")].toString(),
                         r[QStringLiteral("G-LastName")].toString(),
                         r[QStringLiteral("G-Company")].toString(), r[QStringLiteral("G-City")].toString()));
        }
        db.Commit();
    }

    bench::SmtpSink sink;
    if (!sink.Start())
        return 1;
    const quint16 port = sink.port();

    const char* A = Sections::Account;
    SaveSetting(A, Keys::Name, QStringLiteral("Bench Sender"));
    SaveSetting(A, Keys::Email, QStringLiteral("sender@bench.test"));
    SaveSetting(A, Keys::Server, QStringLiteral("127.0.0.1"));
    SaveSetting(A, Keys::Port, QString::number(port));
    SaveSetting(A, Keys::CharSet, QStringLiteral("Unicode (UTF-8)"));

    // The main window's message as a user fills it in.
    const QString subject = QStringLiteral("Spring offer for $*MergeFirstName*$ at $*MergeCompany*$");
    HtmlEditor editor;
    editor.resize(800, 600);
    editor.SetDocumentHTML(BodyHtml());
    testenv::TestComposer message;
    message.editor = &editor;
    message.subject = subject;
    message.group = QStringLiteral("Bench");
    message.groupCount = 1;
    message.format = MessageFormat::Html;
    message.priority = MessagePriority::Normal;
    if (attachMb > 0) {
        const QString attachment = home.filePath(QStringLiteral("attachment.bin"));
        if (!WriteAttachment(attachment, attachMb))
            return 1;
        message.attachments << attachment;
    }

    // One message built and saved first, so the one-time start-up of the MIME and charset machinery
    // weighs on neither of the timed runs.
    {
        const QString warmBody = home.filePath(QStringLiteral("warm.htm"));
        if (!editor.SaveDocument(warmBody))
            return 1;
        mail::Smtp warm;
        SetUpSmtp(warm, MessagePriority::Normal, false);
        warm.AddRecipient(QStringLiteral("w@bench.test"), QStringLiteral("w@bench.test"),
                          mail::RecipientKind::To);
        warm.SetBodyFormat(1);
        ApplyHtmlBody(warm, warmBody);
        ApplySubject(warm, subject);
        warm.SaveMessageFile(home.filePath(QStringLiteral("warm.eml")));
    }

    SendMailForm1 form;
    form.setInputSource([&message] { return SendRunInputFrom(message); });
    form.show();
    // The window is laid out and painted before Send is clicked, as a user sees it then.
    for (const bench::Stopwatch shown; shown.seconds() < 0.3;)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    // The library's copy of the document is written after the first run, so that no work of the editor
    // is still under way while the run is timed.
    const QString bodyFile = home.filePath(QStringLiteral("body.htm"));

    // Each round times the run and then the library alone, back to back: on a machine whose load
    // changes (a build beside it), the two figures of a round meet the same load, and the median of
    // the rounds' ratios is the comparison.
    const qint64 setUpPeakKb = bench::PeakMemoryKb();
    const qint64 baseKb = bench::StatusKb("VmRSS:");
    bench::ResetPeakMemory();
    const qint64 encodingsBefore = mail::AttachmentEncodings();
    std::vector<double> runSeconds, librarySeconds, ratios;
    qint64 peakKb = 0;
    for (int round = 0; round < rounds; ++round) {
        const bench::Stopwatch stopwatch;
        form.findChild<QPushButton*>(QStringLiteral("SendButton"))->click();
        const double ours = stopwatch.seconds();
        if (round == 0)
            peakKb = bench::PeakMemoryKb();
        if (form.run().sentCount() != count) {
            std::fprintf(stderr, "the send run sent %d of %d messages\n", form.run().sentCount(), count);
            return 1;
        }
        runSeconds.push_back(ours);
        if (runOnly)
            continue;
        if (round == 0 && !editor.SaveDocument(bodyFile))
            return 1;
        const double library = LibraryRun(count, bodyFile, subject, port);
        if (library < 0) {
            std::fprintf(stderr, "the library run failed\n");
            return 1;
        }
        librarySeconds.push_back(library);
        ratios.push_back(library / ours);
        if (rounds > 1)
            std::printf("round %d:           run %.2f s, library %.2f s, ratio %.2f\n", round + 1, ours,
                        library, library / ours);
    }
    const char* const median = rounds > 1 ? " (median of the rounds)" : "";
    const double ours = Median(runSeconds);
    std::printf(
        "recipients:        %d (1 KB HTML, five merge macros, one connection, smtp-sink on 127.0.0.1)\n",
        count);
    std::printf("send run:          %.2f s, %.1f messages/s%s\n", ours, count / ours, median);
    std::printf("peak memory:       %.1f MB (VmHWM after the run; %.1f MB before it, with the group "
                "made)\n",
                peakKb / 1024.0, setUpPeakKb / 1024.0);
    if (attachMb > 0) {
        std::printf("attachment:        %d MB, base 64\n", attachMb);
        std::printf("attachment encodings: %lld\n",
                    static_cast<long long>(mail::AttachmentEncodings() - encodingsBefore));
        std::printf("peak above base: %lld MB (reference: 1.5 x the attachment = %.0f MB)\n",
                    static_cast<long long>((peakKb - baseKb) / 1024), attachMb * 1.5);
    }
    if (runOnly)
        return 0;
    const double library = Median(librarySeconds);
    std::printf("library alone:     %.2f s, %.1f messages/s%s\n", library, count / library, median);
    std::printf("ratio run/library: %.2f%s\n", Median(ratios), median);

    QJsonArray recipients;
    for (int i = 1; i <= count; ++i)
        recipients.append(RecipientValues(i));

    QJsonArray macros;
    for (const MergeMacro& m : MergeMacros)
        macros.append(QJsonArray{QString::fromLatin1(m.macro), QString::fromLatin1(m.column)});
    QJsonObject reference{{QStringLiteral("fromName"), QStringLiteral("Bench Sender")},
                          {QStringLiteral("fromAddress"), QStringLiteral("sender@bench.test")},
                          {QStringLiteral("subject"), subject},
                          {QStringLiteral("html"), editor.DocumentHTML()},
                          {QStringLiteral("mailer"), MailerName()},
                          {QStringLiteral("macros"), macros},
                          {QStringLiteral("recipients"), recipients}};
    const QString dataFile = home.filePath(QStringLiteral("reference.json"));
    {
        QFile f(dataFile);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write(QJsonDocument(reference).toJson(QJsonDocument::Compact));
    }
    const std::optional<double> theirs =
        bench::RunPythonReference(QStringLiteral(BENCH_SENDRUN_DIR "/smtplib_sendrun.py"),
                                  {QStringLiteral("127.0.0.1"), QString::number(port), dataFile});
    if (!theirs)
        return 1;
    sink.Stop();

    const bench::Rates rates = bench::CompareRates(count, ours, *theirs);
    std::printf("smtplib:           %.2f s, %.1f messages/s\n", *theirs, rates.reference);
    std::printf("ratio run/smtplib: %.2f\n", rates.ratio);
    return 0;
}
