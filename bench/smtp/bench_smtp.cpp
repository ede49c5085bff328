// Sends N personalised 1 KB HTML messages through the SMTP class over one connection to smtp-sink on
// the loopback, then the same N messages with Python's smtplib, and prints both rates and their ratio;
// beside them the rate of Postfix's smtp-source (N messages of 1 KB over one connection, nothing
// composed: one session, -d keeping it open from one message to the next) as the ceiling of the sink
// and the loopback.
//
//   bench_smtp [-n COUNT]       (default 5000)
#include "bench/support/BenchSupport.h"
#include "mail/MimeComposer.h"
#include "mail/Smtp.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const char kTemplate[] = R"(<html><head><meta charset="utf-8"><title>Offer</title></head><body>
<p>Dear $*MergeFirstName*$,</p>
<p>Thank you for staying with us this year. As one of our regular customers you get early access to
the spring collection: light jackets, linen shirts and the new walking shoes, all with free delivery
until the end of the month. Simply quote your customer name when you order.</p>
<table border="0" cellpadding="4"><tr><td><b>Light jacket</b></td><td>49.00</td></tr>
<tr><td><b>Linen shirt</b></td><td>29.00</td></tr><tr><td><b>Walking shoes</b></td><td>79.00</td></tr></table>
<p>We look forward to seeing you, $*MergeFirstName*$. If you no longer wish to receive our letters,
reply with the word "stop" and we will take you off the list the same day.</p>
<p>Kind regards,<br>The shop team</p>
</body></html>
)";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = bench::CountArgument(app.arguments(), 5000);
    if (count <= 0) {
        std::fprintf(stderr, "usage: bench_smtp [-n COUNT]\n");
        return 2;
    }

    QTemporaryDir dir;
    const QString templatePath = dir.filePath(QStringLiteral("letter.htm"));
    QFile file(templatePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(kTemplate) < 0)
        return 1;
    file.close();

    bench::SmtpSink sink;
    if (!sink.Start())
        return 1;
    const quint16 port = sink.port();

    // The SMTP class, the way a send run uses it: one connection, per message import, merge, send, clear.
    mail::Smtp smtp;
    smtp.SetMailServer(QStringLiteral("127.0.0.1"));
    smtp.SetPort(port);
    smtp.SetClientHostName(QStringLiteral("bench.test"));
    smtp.SetFromName(QStringLiteral("Bench Sender"));
    smtp.SetFromAddress(QStringLiteral("sender@bench.test"));
    smtp.SetCharset(QStringLiteral("utf-8"));
    smtp.SetBodyEncoding(mail::EncodingQuotedPrintable);
    smtp.SetPartEncoding(mail::EncodingQuotedPrintable);
    smtp.AddHeader(QStringLiteral("X-Mailer"), QStringLiteral("Torvale Velanto Ostrel 1.0"));
    const bench::Stopwatch stopwatch;
    int failed = 0;
    qint32 rc = smtp.Connect(0);
    if (rc != 0) {
        std::fprintf(stderr, "Connect failed with code %d\n", rc);
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("Recipient %1").arg(i);
        smtp.AddRecipient(name, QStringLiteral("r%1@bench.test").arg(i), mail::RecipientKind::To);
        smtp.SetSubject(QStringLiteral("Offer for recipient %1").arg(i));
        smtp.SetBodyFormat(1);
        smtp.ImportBodyFile(templatePath, mail::ImportHtmlOnly);
        smtp.ReplaceMergeField(QStringLiteral("$*MergeFirstName*$"), name, 1);
        if (smtp.Send() != 0)
            ++failed;
        smtp.ClearMessage(3);
    }
    rc = smtp.Disconnect(0);
    const double ours = stopwatch.seconds();
    if (failed != 0 || rc != 0) {
        std::fprintf(stderr, "%d messages failed, Disconnect %d\n", failed, rc);
        return 1;
    }

    const std::optional<double> reference = bench::RunPythonReference(
        QStringLiteral(BENCH_SMTP_DIR "/smtplib_reference.py"),
        {QStringLiteral("127.0.0.1"), QString::number(port), QString::number(count), templatePath});
    if (!reference)
        return 1;
    // Without -d smtp-source would open a connection of its own for every message.
    const std::optional<double> source =
        bench::RunTimed(QStringLiteral("/usr/sbin/smtp-source"),
                        {QStringLiteral("-d"), QStringLiteral("-s"), QStringLiteral("1"),
                         QStringLiteral("-m"), QString::number(count), QStringLiteral("-l"),
                         QStringLiteral("1024"), QStringLiteral("127.0.0.1:%1").arg(port)});
    sink.Stop();

    const bench::Rates rates = bench::CompareRates(count, ours, *reference);
    std::printf("messages:        %d (1 KB personalised HTML, one connection, smtp-sink on 127.0.0.1)\n",
                count);
    std::printf("Smtp class:      %.0f messages/s (%.3f s)\n", rates.ours, ours);
    std::printf("Python smtplib:  %.0f messages/s (%.3f s)\n", rates.reference, *reference);
    std::printf("ratio:           %.2f x smtplib\n", rates.ratio);
    if (source) {
        std::printf("smtp-source:     %.0f messages/s (%.3f s; 1 KB, one connection)\n", count / *source,
                    *source);
        std::printf("ratio:           %.2f of smtp-source\n", rates.ours / (count / *source));
    }
    return 0;
}
