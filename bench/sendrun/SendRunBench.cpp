// The real send run for a group of recipients (sending window, HTML editor offscreen, recipient
// database) against smtp-sink on 127.0.0.1, and the same personalised messages sent by Python's
// smtplib from the same data. Prints both rates and their ratio. Usage: bench_sendrun [-n COUNT]
#include "bench/support/BenchSupport.h"
#include "core/Database.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "editor/HtmlEditor.h"
#include "sending/MergeMacros.h"
#include "sending/MessageSetup.h"
#include "sending/SendMailForm1.h"
#include "ui/MainFormControls.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>

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

    const int count = bench::CountArgument(app.arguments(), 2000);
    if (count <= 0) {
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

    // The group, and the same rows for the smtplib reference.
    QJsonArray recipients;
    {
        Connection db;
        if (!db.Open() ||
            db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('Bench')")) != 1)
            return 1;
        const qint32 id = GroupByName(db, QStringLiteral("Bench"));
        db.BeginTransaction();
        for (int i = 1; i <= count; ++i) {
            QJsonObject r{{QStringLiteral("G-Email"), QStringLiteral("r%1@bench.test").arg(i)},
                          {QStringLiteral("G-Title"), QStringLiteral("Dr.")},
                          {QStringLiteral("G-FirstName"), QStringLiteral("First%1").arg(i)},
                          {QStringLiteral("G-LastName"), QStringLiteral("Last%1").arg(i)},
                          {QStringLiteral("G-Company"), QStringLiteral("Company %1").arg(i)},
                          {QStringLiteral("G-City"), QStringLiteral("City %1").arg(i % 97)}};
            db.ExecuteWrite(
                QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email], [G-Title], [G-FirstName], "
                               "[G-LastName], [G-Company], [G-City]) VALUES (%1, '%2', '%3', '%4', "
                               "'%5', '%6', '%7')")
                    .arg(id)
                    .arg(r[QStringLiteral("G-Email")].toString(), r[QStringLiteral("G-Title")].toString(),
                         r[QStringLiteral("G-FirstName")].toString(),
                         r[QStringLiteral("G-LastName")].toString(),
                         r[QStringLiteral("G-Company")].toString(), r[QStringLiteral("G-City")].toString()));
            recipients.append(r);
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

    // The main window's controls as a user fills them in.
    const QString subject = QStringLiteral("Spring offer for $*MergeFirstName*$ at $*MergeCompany*$");
    QLineEdit subjectBox(subject);
    QComboBox to, format, priority;
    to.addItem(QStringLiteral("Bench"));
    format.addItem(QStringLiteral("HTML"));
    priority.addItem(QStringLiteral("Normal"));
    QCheckBox rrr;
    HtmlEditor editor;
    editor.resize(800, 600);
    editor.SetDocumentHTML(BodyHtml());
    MainFormControls& ui = MainFormUi();
    ui.SubjectTextBox = &subjectBox;
    ui.ToComboBox = &to;
    ui.FormatComboBox = &format;
    ui.PriorityComboBox = &priority;
    ui.RRRCheckBox = &rrr;
    ui.Editor = &editor;

    SendMailForm1 form;
    form.show();
    const bench::Stopwatch stopwatch;
    form.findChild<QPushButton*>(QStringLiteral("SendButton"))->click();
    const double ours = stopwatch.seconds();
    if (form.run().sentCount() != count) {
        std::fprintf(stderr, "the send run sent %d of %d messages\n", form.run().sentCount(), count);
        return 1;
    }

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
    std::printf(
        "recipients:        %d (1 KB HTML, five merge macros, one connection, smtp-sink on 127.0.0.1)\n",
        count);
    std::printf("send run:          %.2f s, %.1f messages/s\n", ours, rates.ours);
    std::printf("smtplib:           %.2f s, %.1f messages/s\n", *theirs, rates.reference);
    std::printf("ratio run/smtplib: %.2f\n", rates.ratio);
    return 0;
}
