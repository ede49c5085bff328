// Reads hostile message files through the real parser, extract and import into the composer, and prints
// per case and step the time and the peak memory growth beside the file size, with GMime alone parsing
// the same file (every part decoded, nothing kept) as the reference of the same run. Every step runs in
// a process of its own, so the peak of one step never hides that of the next.
//   bench_messagefiles [case]    all cases, or the one named
#include "bench/support/BenchSupport.h"
#include "core/Paths.h"
#include "editor/HtmlEditor.h"
#include "mail/GMimeInclude.h"
#include "mail/Message.h"
#include "mail/MimeSupport.h"
#include "tests/support/TestComposer.h"
#include "tools/MessageExtract.h"
#include "tools/forms/MessageImport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace {

QByteArray Png64() {
    return "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==";
}

QByteArray Related(const QByteArray& html, const QByteArray& parts) {
    return "Subject: bench\r\nMIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"r\"\r\n\r\n"
           "--r\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" +
           html + "\r\n" + parts + "--r--\r\n";
}

QByteArray Repeated(const QByteArray& piece, qsizetype size) {
    QByteArray out;
    while (out.size() < size)
        out += piece;
    return out;
}

// The input of a case goes to the file through write, in pieces: the 200 MB body is never held whole.
using Writer = std::function<void(const QByteArray&)>;

struct Case {
    const char* name;
    void (*make)(const Writer& write);
    QStringList steps;
};

void CidParts(const Writer& write) {
    QByteArray html, parts;
    for (int i = 0; i < 10000; ++i) {
        html += "<p>" + QByteArray(360, 'w') + "<img src=\"cid:p" + QByteArray::number(i) + "\"></p>\n";
        parts += "--r\r\nContent-Type: image/png\r\nContent-ID: <p" + QByteArray::number(i) +
                 ">\r\nContent-Transfer-Encoding: base64\r\n\r\n" + Png64() + "\r\n";
    }
    write(Related(html, parts));
}

// 20,000 parts: a text body and 19,999 attachments of one name.
void SameNames(const Writer& write) {
    write("Subject: same\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
          "--m\r\nContent-Type: text/plain\r\n\r\nbody\r\n");
    for (int i = 0; i < 19999; ++i)
        write("--m\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=\"same.txt\"\r\n"
              "\r\nx\r\n");
    write("--m--\r\n");
}

// 20,000 parts: an HTML body and 19,999 pictures of one name that it shows.
void SameInline(const Writer& write) {
    QByteArray html, parts;
    for (int i = 0; i < 19999; ++i) {
        html += "<img src=\"cid:p" + QByteArray::number(i) + "\">\n";
        parts += "--r\r\nContent-Type: image/png\r\nContent-ID: <p" + QByteArray::number(i) +
                 ">\r\nContent-Disposition: inline; filename=\"pic.png\"\r\n"
                 "Content-Transfer-Encoding: base64\r\n\r\n" +
                 Png64() + "\r\n";
    }
    write(Related(html, parts));
}

// A 200 MB plain-text body of short lines (BENCH_BODY_MB other megabytes).
void BigBody(const Writer& write) {
    const qint64 megabytes = qEnvironmentVariableIntValue("BENCH_BODY_MB") > 0
                                 ? qEnvironmentVariableIntValue("BENCH_BODY_MB")
                                 : 200;
    write("Subject: big\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n");
    const QByteArray line = "The quick brown fox jumps over the lazy dog; sphinx of black quartz.\r\n";
    const QByteArray block = line.repeated(1 << 14);
    for (qint64 written = 0; written < megabytes * 1000 * 1000; written += block.size())
        write(block);
}

const Case cases[] = {
    {"cid", CidParts, {"parse"}},
    {"script", [](const Writer& w) { w(Related(Repeated("<script>x ", 1 << 20), {})); }, {"parse"}},
    {"title", [](const Writer& w) { w(Related(Repeated("<title>y ", 1 << 20), {})); }, {"parse"}},
    {"tags", [](const Writer& w) { w(Related(Repeated("<b class=\"c\">t</b>", 5 << 20), {})); }, {"parse"}},
    {"words",
     [](const Writer& w) {
         QByteArray m = "Subject: x\r\n";
         for (int i = 0; i < 48; ++i)
             m += "To: " + Repeated("=?x?q?aa ", 64000) + "\r\n";
         w(m + "\r\nbody\r\n");
     },
     {"parse"}},
    {"labels",
     [](const Writer& w) {
         QByteArray m =
             "Subject: x\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"m\"\r\n\r\n";
         for (int i = 0; i < 3000; ++i)
             m += "--m\r\nContent-Type: text/plain; charset=\"utf-8//x" + QByteArray::number(i) +
                  "\"\r\n\r\nt\r\n";
         w(m + "--m--\r\n");
     },
     {"parse"}},
    {"recipients",
     [](const Writer& w) {
         const QByteArray line = "To: " + Repeated("a@b.c, ", 63000) + "z@b.c\r\n";
         w("Subject: x\r\n" + Repeated(line, 20 << 20) + "\r\nbody\r\n");
     },
     {"parse"}},
    {"samename", SameNames, {"parse", "extract", "import"}},
    {"sameinline", SameInline, {"parse", "extract", "import"}},
    {"bigbody", BigBody, {"parse", "extract", "import"}},
};

// GMime alone: the file parsed as our parser does (a MIME entity on a file stream) and every leaf
// decoded into nothing.
void DecodeAll(GMimeObject* obj) {
    if (GMIME_IS_MULTIPART(obj)) {
        GMimeMultipart* mp = GMIME_MULTIPART(obj);
        for (int i = 0; i < g_mime_multipart_get_count(mp); ++i)
            DecodeAll(g_mime_multipart_get_part(mp, i));
    } else if (GMIME_IS_PART(obj)) {
        if (GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(obj))) {
            GMimeStream* sink = g_mime_stream_null_new();
            g_mime_data_wrapper_write_to_stream(content, sink);
            g_object_unref(sink);
        }
    }
}

void GMimeAlone(const QString& file) {
    mail::InitGMime();
    GMimeStream* stream = g_mime_stream_fs_open(QFile::encodeName(file).constData(), O_RDONLY, 0, nullptr);
    if (!stream)
        return;
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    g_object_unref(stream);
    GMimeObject* part = g_mime_parser_construct_part(parser, nullptr);
    g_object_unref(parser);
    if (part) {
        DecodeAll(part);
        g_object_unref(part);
    }
}

// One step in this process: prints "seconds peak-growth-kB".
int RunStep(const QString& file, const QString& step, const QString& out) {
    std::unique_ptr<HtmlEditor> editor;
    testenv::TestComposer composer;
    if (step == QLatin1String("import")) {
        editor = std::make_unique<HtmlEditor>();
        composer.editor = editor.get();
        composer.format = MessageFormat::Html;
        editor->DocumentHTML(); // the engine is up before the clock starts
        SetDataPath(out + QStringLiteral("/data/"));
    }
    bench::ResetPeakMemory();
    const qint64 before = bench::StatusKb("VmRSS:");
    bench::Stopwatch clock;
    if (step == QLatin1String("gmime")) {
        GMimeAlone(file);
    } else if (step == QLatin1String("parse")) {
        mail::Message m;
        m.SetWorkFolder(out + QStringLiteral("/work"));
        m.ImportMessageFile(file, mail::BodyPartHtml, 2);
    } else if (step == QLatin1String("extract")) {
        ExtractRequest request;
        request.messageFile = file;
        request.bodyPart = mail::BodyPartHtml;
        request.bodyFolder = out + QStringLiteral("/body");
        request.recipientsFile = out + QStringLiteral("/recipients.txt");
        request.timestampsFile = out + QStringLiteral("/timestamps.txt");
        request.attachmentsFolder = out + QStringLiteral("/attachments");
        request.bodyPartAttachments = true;
        const ExtractOutcome outcome = RunExtract(request);
        if (!outcome.stopText.isEmpty() || !outcome.notWritten.isEmpty())
            std::fprintf(stderr, "extract: %s\n", qPrintable(ExtractReport(outcome) + outcome.stopText));
    } else if (step == QLatin1String("import")) {
        const MessageImportOutcome outcome = ImportMessageIntoComposer(file, composer);
        if (!outcome.done)
            std::fprintf(stderr, "import: %s\n", qPrintable(outcome.warning));
        // what the composer shows (a document the engine did not finish in time shows less)
        const QVariant shown =
            editor->EvaluateScript(QStringLiteral("document.body ? document.body.textContent.length : -1"));
        std::fprintf(stderr, "import: the editor shows %lld characters\n", shown.toLongLong());
    }
    const double seconds = clock.seconds();
    std::printf("%.3f %lld\n", seconds, bench::StatusKb("VmHWM:") - before);
    std::fflush(stdout);
    return 0;
}

struct Measured {
    double seconds = -1;
    double mb = -1;
};

Measured RunChild(const QString& file, const QString& step, const QString& out) {
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--step"), file, step, out});
    Measured m;
    if (!child.waitForFinished(30 * 60 * 1000) || child.exitCode() != 0) {
        child.kill();
        child.waitForFinished(5000);
        return m;
    }
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split('\n').last().split(' ');
    if (fields.size() == 2) {
        m.seconds = fields.at(0).toDouble();
        m.mb = fields.at(1).toDouble() / 1024.0;
    }
    QDir(out).removeRecursively();
    return m;
}

int RunAll(const QString& only) {
    QTemporaryDir dir;
    std::printf("Peak memory is the growth of the process's resident set during the step; the editor's\n"
                "page lives in the engine's own process and is not counted. GMime: the same file parsed\n"
                "and every part decoded by GMime alone.\n\n");
    std::printf("%-11s %-8s %9s %9s %10s %8s %9s %10s\n", "case", "step", "input MB", "seconds", "memory MB",
                "x input", "GMime s", "GMime MB");
    for (const Case& c : cases) {
        if (!only.isEmpty() && only != QLatin1String(c.name))
            continue;
        const QString file = dir.filePath(QStringLiteral("case.eml"));
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        c.make([&f](const QByteArray& bytes) { f.write(bytes); });
        f.close();
        const double inputMb = f.size() / 1048576.0;
        const Measured reference =
            RunChild(file, QStringLiteral("gmime"), dir.filePath(QStringLiteral("out")));
        for (const QString& step : c.steps) {
            const Measured m = RunChild(file, step, dir.filePath(QStringLiteral("out")));
            std::printf("%-11s %-8s %9.1f %9.2f %10.1f %8.1f %9.2f %10.1f\n", c.name, qPrintable(step),
                        inputMb, m.seconds, m.mb, m.mb / inputMb, reference.seconds, reference.mb);
            std::fflush(stdout);
        }
        QFile::remove(file);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && qstrcmp(argv[1], "--step") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (geteuid() == 0) // Chromium refuses to run its sandbox as root
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        QApplication app(argc, argv);
        return RunStep(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                       QString::fromLocal8Bit(argv[4]));
    }
    // The work folders, the imported-body folder and the settings stay inside a private folder: the
    // program's own clean-up of earlier work folders must never reach another run's.
    QTemporaryDir home;
    for (const char* name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "TMPDIR"}) {
        const QString path = home.filePath(QString::fromLatin1(name).toLower());
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(name, QFile::encodeName(path));
    }
    QCoreApplication app(argc, argv);
    return RunAll(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
}
