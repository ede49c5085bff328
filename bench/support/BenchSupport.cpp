#include "bench/support/BenchSupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace bench {

namespace {

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool WaitForListener(quint16 port) {
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    return false;
}

} // namespace

int CountArgument(const QStringList& arguments, int fallback) {
    int count = fallback;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == u"-n" && i + 1 < arguments.size())
            count = arguments[++i].toInt();
    }
    return count;
}

SmtpSink::~SmtpSink() {
    Stop();
}

bool SmtpSink::Start() {
    if (!QFileInfo::exists(QStringLiteral("/usr/sbin/smtp-sink"))) {
        std::fprintf(stderr,
                     "smtp-sink is missing (package postfix, which the test command installs only where "
                     "no other mail server is installed)\n");
        return false;
    }
    m_port = FreePort();
    QStringList args;
    // smtp-sink refuses to run as root unless it is told whom to become.
    if (getuid() == 0)
        args << QStringLiteral("-u") << QStringLiteral("nobody");
    args << QStringLiteral("127.0.0.1:%1").arg(m_port) << QStringLiteral("64");
    m_process.start(QStringLiteral("/usr/sbin/smtp-sink"), args);
    if (!m_process.waitForStarted(5000) || !WaitForListener(m_port)) {
        std::fprintf(stderr, "smtp-sink did not start\n");
        return false;
    }
    return true;
}

void SmtpSink::Stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    m_process.waitForFinished(3000);
}

std::optional<double> RunPythonReference(const QString& script, const QStringList& arguments) {
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    python.start(QStringLiteral("/usr/bin/python3"), QStringList{script} + arguments);
    if (!python.waitForFinished(-1) || python.exitCode() != 0) {
        std::fprintf(stderr, "the smtplib reference failed\n");
        return std::nullopt;
    }
    return python.readAllStandardOutput().trimmed().toDouble();
}

std::optional<double> RunTimed(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        return std::nullopt;
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

qint64 StatusKb(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

qint64 PeakMemoryKb() {
    return StatusKb("VmHWM:");
}

void ResetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

Rates CompareRates(int count, double oursSeconds, double referenceSeconds) {
    Rates rates;
    rates.ours = count / oursSeconds;
    rates.reference = referenceSeconds > 0 ? count / referenceSeconds : 0;
    rates.ratio = rates.reference > 0 ? rates.ours / rates.reference : 0.0;
    return rates;
}

} // namespace bench
