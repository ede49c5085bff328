#include "tests/support/ProcessMeasures.h"

#include <QFile>

#include <sys/resource.h>

namespace testenv {

qint64 StatusKb(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

void ResetPeakMemory() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

qint64 ProcessorMilliseconds(bool withKernel) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    qint64 ms = qint64(usage.ru_utime.tv_sec) * 1000 + usage.ru_utime.tv_usec / 1000;
    if (withKernel)
        ms += qint64(usage.ru_stime.tv_sec) * 1000 + usage.ru_stime.tv_usec / 1000;
    return ms;
}

} // namespace testenv
