// Prints messages that are hard on Qt's rich-text engine, and long text bodies, into PDF files through
// the message printer, and shows per case the result, the time, the peak memory growth beside the
// message size, the pages and, for the text bodies, how many of their lines the PDF shows (for one
// long line of digits, how many of its digits). A newsletter
// of nested tables is the reference of a real message. Every case runs in a process of its own, given
// up after the time limit (default 120 s).
//   bench_print [case] [--limit SECONDS]
#include "bench/support/BenchSupport.h"
#include "mail/Message.h"
#include "mail/print/MessagePrinter.h"
#include "tests/mail/print/PrintedText.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

QByteArray Html(const QByteArray& body) {
    return "Subject: bench\r\nMIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" + body +
           "\r\n";
}

QByteArray NestedTables(int depth) {
    QByteArray html;
    for (int i = 0; i < depth; ++i)
        html += "<table border=1 cellpadding=2><tr><td>level " + QByteArray::number(i) + "\r\n";
    html += "innermost";
    for (int i = 0; i < depth; ++i)
        html += "</td></tr></table>\r\n";
    return Html(html);
}

// Numbered lines up to about that many bytes.
QByteArray TextBody(qsizetype bytes) {
    QByteArray m = "Subject: bench\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n";
    m.reserve(bytes + 200);
    for (int i = 0; m.size() < bytes; ++i)
        m += "Line " + QByteArray::number(i) + " of a long text body, in words that fill it out.\r\n";
    return m;
}

// A newsletter as mailing tools make them: tables five deep, two columns of pictures and text.
QByteArray Newsletter(int blocks) {
    QByteArray rows;
    for (int i = 0; i < blocks; ++i) {
        QByteArray columns;
        for (int c = 0; c < 2; ++c)
            columns +=
                "<td width=\"50%\" valign=\"top\" style=\"padding:8px\"><table width=\"100%\"><tr><td>"
                "<img src=\"cid:p" +
                QByteArray::number(i) +
                "\" width=\"260\" alt=\"pic\"></td></tr>"
                "<tr><td style=\"font-family:Arial;font-size:14px\"><h3>Title " +
                QByteArray::number(i) +
                "</h3><p>Lorem ipsum <b>dolor</b> sit amet, <a href=\"http://example.com/\">consectetur"
                "</a> adipiscing elit, sed do eiusmod tempor incididunt ut labore.</p><table "
                "cellpadding=\"6\"><tr><td bgcolor=\"#0066cc\"><a href=\"http://x/\">Read more</a></td>"
                "</tr></table></td></tr></table></td>";
        rows += "<tr><td style=\"padding:10px\"><table width=\"100%\"><tr>" + columns +
                "</tr></table></td></tr>\r\n";
    }
    return Html(
        "<html><head><style>p{margin:0 0 10px 0}</style></head><body><table width=\"100%\" "
        "bgcolor=\"#eeeeee\"><tr><td align=\"center\"><table width=\"600\" bgcolor=\"#ffffff\"><tr><td>"
        "<h1>Newsletter</h1></td></tr>\r\n" +
        rows + "</table></td></tr></table></body></html>");
}

// One line of digits, that many, without a break opportunity: in a paragraph or preformatted.
QByteArray Digits(qsizetype count) {
    QByteArray digits;
    digits.reserve(count);
    while (digits.size() < count)
        digits += "0123456789";
    digits.truncate(count);
    return digits;
}

QByteArray TextLine(qsizetype count) {
    return "Subject: bench\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + Digits(count) + "\r\n";
}

// What the PDF is checked for: the numbered lines of a text body, or the digits of one long line.
enum class Count { Nothing, Lines, Digits };

struct Case {
    const char* name;
    const char* what;
    QByteArray (*make)();
    bool text; // printed as the text body
    Count count = Count::Nothing;
    qsizetype expected = 0; // digits the message holds
};

const Case cases[] = {
    {"tables20", "20 nested tables", [] { return NestedTables(20); }, false},
    {"tables24", "24 nested tables", [] { return NestedTables(24); }, false},
    {"pictures", "20,000 <img src=cid:x>",
     [] { return Html(QByteArray("<img src=cid:x>\r\n").repeated(20000)); }, false},
    {"bold", "1.3 million <b>", [] { return Html(QByteArray("<b>").repeated(1300000)); }, false},
    {"script", "<script> + 1 MB", [] { return Html("<p>text</p><script>" + QByteArray(1 << 20, 'x')); },
     false},
    {"scripts", "1 MB of <script>x", [] { return Html(QByteArray("<script>x ").repeated(104858)); }, false},
    {"text4", "4 MB text body", [] { return TextBody(4 << 20); }, true, Count::Lines},
    {"text16", "16 MB text body", [] { return TextBody(16 << 20); }, true, Count::Lines},
    {"word1", "one 1 MB word", [] { return Html("<p>" + Digits(1 << 20) + "</p>"); }, false, Count::Digits,
     1 << 20},
    {"word2", "one 2 MB word", [] { return Html("<p>" + Digits(2 << 20) + "</p>"); }, false, Count::Digits,
     2 << 20},
    {"word4", "one 4 MB word", [] { return Html("<p>" + Digits(4 << 20) + "</p>"); }, false, Count::Digits,
     4 << 20},
    {"pre200k", "<pre> line of 200,000", [] { return Html("<pre>" + Digits(200000) + "</pre>"); }, false,
     Count::Digits, 200000},
    {"pre8", "<pre> line of 8 MB", [] { return Html("<pre>" + Digits(8 << 20) + "</pre>"); }, false,
     Count::Digits, 8 << 20},
    {"line1", "text line of 1 MB", [] { return TextLine(1 << 20); }, true, Count::Digits, 1 << 20},
    {"line8", "text line of 8 MB", [] { return TextLine(8 << 20); }, true, Count::Digits, 8 << 20},
    {"news", "newsletter (real)", [] { return Newsletter(30); }, false},
};

long ProcessorMs() {
    return long(std::clock() * 1000 / CLOCKS_PER_SEC);
}

// One case in this process: prints "result seconds cpu-seconds peak-growth-kB".
int RunCase(const QString& eml, bool text, const QString& pdf) {
    mail::Message message;
    if (message.ImportMessageFile(eml, text ? mail::BodyPartText : mail::BodyPartHtml, 0) != 0)
        return 2;
    bench::ResetPeakMemory();
    const qint64 before = bench::StatusKb("VmRSS:");
    const long cpu = ProcessorMs();
    bench::Stopwatch clock;
    mail::MessagePrinter printer;
    printer.SetOutputFileForTesting(pdf);
    const qint32 result = printer.PrintMessage(message.GetMessageHandle(), 511);
    std::printf("%d %.2f %.2f %lld\n", result, clock.seconds(), (ProcessorMs() - cpu) / 1000.0,
                bench::StatusKb("VmHWM:") - before);
    return 0;
}

// The pages of a PDF file and the numbered lines or the digits it shows inside its margins (the
// engine also writes the line above each page's body into the file, clipped away on paper).
QPair<int, qsizetype> PagesAndCount(const QString& pdf, Count count) {
    const QString all = printtest::PdfText(pdf);
    qsizetype counted = 0;
    if (count == Count::Lines) {
        counted = all.count(QLatin1String(" of a long text body"));
    } else if (count == Count::Digits) {
        const QString paper = printtest::PdfTextOnPaper(pdf, 20 / 25.4 * 72);
        counted = std::count_if(paper.cbegin(), paper.cend(), [](QChar c) { return c.isDigit(); });
    }
    return {int(all.count(u'\f')), counted};
}

int RunAll(const QString& only, int limitSeconds) {
    QTemporaryDir dir;
    std::printf("Time and peak memory growth of PrintMessage into a PDF file (the message read before the\n"
                "clock starts). Cases given up after %d s show \">\".\n\n",
                limitSeconds);
    std::printf("%-9s %-24s %9s %7s %9s %9s %10s %7s %7s %s\n", "case", "message", "input MB", "result",
                "seconds", "cpu s", "memory MB", "x input", "pages", "lines / digits printed");
    for (const Case& c : cases) {
        if (!only.isEmpty() && only != QLatin1String(c.name))
            continue;
        const QString eml = dir.filePath(QStringLiteral("case.eml"));
        const QString pdf = dir.filePath(QStringLiteral("case.pdf"));
        QFile::remove(pdf);
        const QByteArray bytes = c.make();
        {
            QFile f(eml);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
                return 1;
        }
        const double inputMb = bytes.size() / 1048576.0;
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--case"), eml, QString::number(c.text), pdf});
        if (!child.waitForFinished(limitSeconds * 1000)) {
            child.kill();
            child.waitForFinished(5000);
            std::printf("%-9s %-24s %9.2f %7s %9s\n", c.name, c.what, inputMb, "-",
                        qPrintable(QStringLiteral("> %1").arg(limitSeconds)));
            std::fflush(stdout);
            continue;
        }
        const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
        if (f.size() != 4) {
            std::printf("%-9s %-24s failed\n", c.name, c.what);
            continue;
        }
        const double mb = f.at(3).toDouble() / 1024.0;
        const QPair<int, qsizetype> pages =
            QFile::exists(pdf) ? PagesAndCount(pdf, c.count) : QPair<int, qsizetype>(0, 0);
        QString shown;
        if (c.count == Count::Lines)
            shown = QString::number(pages.second);
        else if (c.count == Count::Digits)
            shown = QStringLiteral("%1 of %2").arg(pages.second).arg(c.expected);
        std::printf("%-9s %-24s %9.2f %7s %9s %9s %10.1f %7.1f %7d %s\n", c.name, c.what, inputMb,
                    f.at(0).constData(), f.at(1).constData(), f.at(2).constData(), mb, mb / inputMb,
                    pages.first, qPrintable(shown));
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && qstrcmp(argv[1], "--case") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return RunCase(QString::fromLocal8Bit(argv[2]), qstrcmp(argv[3], "1") == 0,
                       QString::fromLocal8Bit(argv[4]));
    }
    // The cases' processes want a private run-time folder of their own, as a desktop session gives.
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QCoreApplication app(argc, argv);
    QString only;
    int limit = 120;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--limit") == 0 && i + 1 < argc)
            limit = QByteArray(argv[++i]).toInt();
        else
            only = QString::fromLocal8Bit(argv[i]);
    }
    return RunAll(only, limit);
}
