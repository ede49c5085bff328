// The real send run for a group of recipients (sending window, HTML editor offscreen, recipient
// database) against smtp-sink on 127.0.0.1, and the same personalised messages sent by Python's
// smtplib from the same data. Prints both rates and their ratio. Usage: bench_sendrun [-n COUNT]
#include "app/Database.h"
#include "app/MainFormControls.h"
#include "app/Paths.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "platform/editor/HtmlEditor.h"
#include "sending/MergeMacros.h"
#include "sending/MessageSetup.h"
#include "sending/SendMailForm1.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <unistd.h>

namespace {
quint16 FreePort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

bool WaitForListener(quint16 port) {
    for (int i = 0; i < 100; ++i) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(100))
            return true;
        QThread::msleep(50);
    }
    return false;
}

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

    int count = 2000;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == u"-n" && i + 1 < args.size())
            count = args[++i].toInt();
    }
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

    const quint16 port = FreePort();
    QProcess sink;
    QStringList sinkArgs;
    if (getuid() == 0)
        sinkArgs << QStringLiteral("-u") << QStringLiteral("nobody");
    sinkArgs << QStringLiteral("127.0.0.1:%1").arg(port) << QStringLiteral("64");
    sink.start(QStringLiteral("/usr/sbin/smtp-sink"), sinkArgs);
    if (!sink.waitForStarted(5000) || !WaitForListener(port)) {
        std::fprintf(stderr, "smtp-sink did not start\n");
        return 1;
    }

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
    QElapsedTimer timer;
    timer.start();
    form.findChild<QPushButton*>(QStringLiteral("SendButton"))->click();
    const double ours = timer.nsecsElapsed() / 1e9;
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
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(BENCH_SENDRUN_DIR "/smtplib_sendrun.py"), QStringLiteral("127.0.0.1"),
                  QString::number(port), dataFile});
    if (!python.waitForFinished(-1) || python.exitCode() != 0) {
        std::fprintf(stderr, "the smtplib reference failed\n");
        return 1;
    }
    const double theirs = python.readAllStandardOutput().trimmed().toDouble();
    sink.terminate();
    sink.waitForFinished(3000);

    const double oursRate = count / ours;
    const double theirsRate = theirs > 0 ? count / theirs : 0;
    std::printf(
        "recipients:        %d (1 KB HTML, five merge macros, one connection, smtp-sink on 127.0.0.1)\n",
        count);
    std::printf("send run:          %.2f s, %.1f messages/s\n", ours, oursRate);
    std::printf("smtplib:           %.2f s, %.1f messages/s\n", theirs, theirsRate);
    std::printf("ratio run/smtplib: %.2f\n", theirsRate > 0 ? oursRate / theirsRate : 0.0);
    return 0;
}
