// Reads the hostile message files of the hardening work through the real parser (with a work folder,
// as the import and extract windows do) and prints, per case, the time and the peak memory growth
// beside the file size. A case name as argument runs that case only.
#include "mail/Message.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

qint64 StatusKb(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

QByteArray Png64() {
    return "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==";
}

QByteArray Related(const QByteArray& html, const QByteArray& parts) {
    return "Subject: bench\r\nMIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"r\"\r\n\r\n"
           "--r\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" +
           html + "\r\n" + parts + "--r--\r\n";
}

struct Case {
    const char* name;
    QByteArray (*make)();
};

QByteArray CidParts() {
    QByteArray html, parts;
    for (int i = 0; i < 10000; ++i) {
        html += "<p>" + QByteArray(360, 'w') + "<img src=\"cid:p" + QByteArray::number(i) + "\"></p>\n";
        parts += "--r\r\nContent-Type: image/png\r\nContent-ID: <p" + QByteArray::number(i) +
                 ">\r\nContent-Transfer-Encoding: base64\r\n\r\n" + Png64() + "\r\n";
    }
    return Related(html, parts);
}

QByteArray Repeated(const QByteArray& piece, qsizetype size) {
    QByteArray out;
    while (out.size() < size)
        out += piece;
    return out;
}

const Case cases[] = {
    {"cid", CidParts},
    {"script", [] { return Related(Repeated("<script>x ", 1 << 20), {}); }},
    {"title", [] { return Related(Repeated("<title>y ", 1 << 20), {}); }},
    {"tags", [] { return Related(Repeated("<b class=\"c\">t</b>", 5 << 20), {}); }},
    {"words",
     [] {
         QByteArray m = "Subject: x\r\n";
         for (int i = 0; i < 48; ++i)
             m += "To: " + Repeated("=?x?q?aa ", 64000) + "\r\n";
         return m + "\r\nbody\r\n";
     }},
    {"labels",
     [] {
         QByteArray m =
             "Subject: x\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"m\"\r\n\r\n";
         for (int i = 0; i < 3000; ++i)
             m += "--m\r\nContent-Type: text/plain; charset=\"utf-8//x" + QByteArray::number(i) +
                  "\"\r\n\r\nt\r\n";
         return m + "--m--\r\n";
     }},
    {"recipients",
     [] {
         const QByteArray line = "To: " + Repeated("a@b.c, ", 63000) + "z@b.c\r\n";
         return "Subject: x\r\n" + Repeated(line, 20 << 20) + "\r\nbody\r\n";
     }},
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    QTemporaryDir dir;
    std::printf("%-12s %10s %10s %12s %8s\n", "case", "input MB", "seconds", "memory MB", "x input");
    for (const Case& c : cases) {
        if (!only.isEmpty() && only != QLatin1String(c.name))
            continue;
        const QByteArray bytes = c.make();
        const QString file = dir.filePath(QStringLiteral("case.eml"));
        QFile f(file);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        f.close();
        const QString work = dir.filePath(QStringLiteral("work"));
        QDir(work).removeRecursively();
        QDir().mkpath(work);
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        clear.close();
        const qint64 before = StatusKb("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        qint64 growth = 0;
        {
            mail::Message m;
            if (!qEnvironmentVariableIsSet("BENCH_NO_WORK"))
                m.SetWorkFolder(work);
            m.ImportMessageFile(file, 1, 2);
            growth = StatusKb("VmHWM:") - before;
        }
        const double seconds = timer.elapsed() / 1000.0;
        const double inputMb = bytes.size() / 1048576.0;
        std::printf("%-12s %10.1f %10.2f %12.1f %8.1f\n", c.name, inputMb, seconds, growth / 1024.0,
                    growth / 1024.0 / inputMb);
        std::fflush(stdout);
    }
    return 0;
}
