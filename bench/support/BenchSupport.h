#pragma once
// What the benchmarks that send to smtp-sink share: the count argument, the sink itself, the clock,
// the Python reference run and the comparison of the two rates.
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <optional>

namespace bench {

// The value of "-n COUNT" among the program's arguments, or fallback when there is none.
int CountArgument(const QStringList& arguments, int fallback);

// smtp-sink on a free port of 127.0.0.1, stopped at the latest when the object goes.
class SmtpSink {
public:
    SmtpSink() = default;
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;
    ~SmtpSink();

    // Starts the sink and waits until it accepts connections; says why on stderr when it does not.
    bool Start();
    void Stop();
    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

// Seconds since construction, at nanosecond resolution.
class Stopwatch {
public:
    Stopwatch() { m_timer.start(); }
    double seconds() const { return double(m_timer.nsecsElapsed()) / 1e9; }

private:
    QElapsedTimer m_timer;
};

// Runs a Python reference script and returns the seconds it printed; nothing (after a message on
// stderr) when it failed. Its stderr goes straight to ours.
std::optional<double> RunPythonReference(const QString& script, const QStringList& arguments);

// Messages per second of both runs, and ours as a multiple of the reference (0 where a rate is unknown).
struct Rates {
    double ours = 0;
    double reference = 0;
    double ratio = 0;
};
Rates CompareRates(int count, double oursSeconds, double referenceSeconds);

// Runs a program to its end and returns the seconds it took; nothing (after a message on stderr) when
// it could not run or failed.
std::optional<double> RunTimed(const QString& program, const QStringList& arguments);

// A field of /proc/self/status in kilobytes ("VmHWM:" the peak resident size, "VmRSS:" the current one),
// 0 when unknown.
qint64 StatusKb(const char* field);

// The process's peak resident memory in kilobytes (VmHWM of /proc/self/status), 0 when unknown.
qint64 PeakMemoryKb();

// Lets the next peak be measured from now: the kernel resets VmHWM to the current resident size.
void ResetPeakMemory();

} // namespace bench
