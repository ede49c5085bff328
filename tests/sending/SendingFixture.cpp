#include "tests/sending/SendingFixture.h"

#include "core/Database.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>
#include <gtest/gtest.h>

namespace sendingtest {

SmtpPeer::SmtpPeer(const QStringList& refused, const QString& user, const QString& password, Dsn dsn) {
    QStringList args{QStringLiteral(SENDING_PEER_SCRIPT), QStringLiteral("--dir"), m_dir.path()};
    for (const QString& r : refused)
        args << QStringLiteral("--refuse") << r;
    if (!user.isEmpty())
        args << QStringLiteral("--user") << user << QStringLiteral("--password") << password;
    if (dsn == Dsn::Offered)
        args << QStringLiteral("--dsn");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"), args);
    if (!m_process.waitForStarted(5000))
        ADD_FAILURE() << "the SMTP peer did not start";
    while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
    }
    m_port = quint16(m_process.readLine().trimmed().toUInt());
    if (m_port == 0)
        ADD_FAILURE() << "the SMTP peer gave no port";
}

SmtpPeer::~SmtpPeer() {
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

int SmtpPeer::messageCount() const {
    return int(QDir(m_dir.path()).entryList({QStringLiteral("*.eml")}, QDir::Files).size());
}

QByteArray SmtpPeer::message(int index) const {
    QFile f(m_dir.filePath(QStringLiteral("%1.eml").arg(index + 1, 3, 10, QLatin1Char('0'))));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonObject SmtpPeer::envelope(int index) const {
    QFile f(m_dir.filePath(QStringLiteral("%1.json").arg(index + 1, 3, 10, QLatin1Char('0'))));
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
}

QStringList SmtpPeer::quits() const {
    QFile f(m_dir.filePath(QStringLiteral("quit.log")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

int SmtpPeer::authAttempts() const {
    return int(authMechanisms().size());
}

QStringList SmtpPeer::authMechanisms() const {
    QFile f(m_dir.filePath(QStringLiteral("auth.log")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

quint16 ClosedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

qint32 MakeGroup(int count, const QString& name) {
    testenv::FreshDataPath();
    testenv::ClearSettings();
    Connection db;
    EXPECT_TRUE(db.Open());
    EXPECT_EQ(db.ExecuteWrite(
                  QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('%1')").arg(SqlQuote(name))),
              1);
    const qint32 id = GroupByName(db, name).id;
    db.BeginTransaction();
    for (int i = 1; i <= count; ++i) {
        db.ExecuteWrite(
            QStringLiteral("INSERT INTO [Emails] ([G-ID], [G-Email], [G-FirstName], [G-LastName]) "
                           "VALUES (%1, 'r%2@example.test', 'First%2', 'Last%2')")
                .arg(id)
                .arg(i));
    }
    db.Commit();
    return id;
}

void StoreAccount(quint16 port) {
    const char* A = Sections::Account;
    SaveSetting(A, Keys::Name, QStringLiteral("Sender Name"));
    SaveSetting(A, Keys::Email, QStringLiteral("sender@example.test"));
    SaveSetting(A, Keys::Server, QStringLiteral("127.0.0.1"));
    SaveSetting(A, Keys::Port, QString::number(port));
    SaveSetting(A, Keys::HeaderEncoding, QStringLiteral("None"));
    SaveSetting(A, Keys::Encoding, QStringLiteral("None"));
}

SendRunInput HtmlInput(const QString& subject) {
    SendRunInput in;
    in.subject = subject;
    in.groupName = QStringLiteral("Friends");
    in.format = MessageFormat::Html;
    in.priority = MessagePriority::Normal;
    in.writeHtmlBody = [] {
        const QString path = TempFolder() + QStringLiteral("TestBody.htm");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        f.write("<html><body><p>Dear $*MergeFirstName*$ $*MergeLastName*$,</p>"
                "<p>mail for $*MergeEmail*$</p></body></html>");
        return path;
    };
    return in;
}

SendRunInput TextInput() {
    SendRunInput in;
    in.subject = QStringLiteral("Note for $*MergeFirstName*$");
    in.groupName = QStringLiteral("Friends");
    in.format = MessageFormat::Text;
    in.priority = MessagePriority::Normal;
    in.plainBody = [] { return QStringLiteral("Dear $*MergeFirstName*$,\nthe note."); };
    return in;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace sendingtest
