#pragma once
// A writer that comes to a named pipe every 100 ms while it lives. Its open succeeds only while a reader
// waits in an open of the pipe: each such rescue is an open that blocked, counted, and it lets the test
// end instead of hanging on it.
#include <QFile>
#include <QString>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace testenv {

class BlockedOpens {
public:
    explicit BlockedOpens(const QString& pipe) : m_path(QFile::encodeName(pipe)) {
        m_writer = std::thread([this] {
            while (!m_done) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ++m_count;
                    ::close(fd);
                }
            }
        });
    }
    ~BlockedOpens() {
        m_done = true;
        m_writer.join();
    }
    BlockedOpens(const BlockedOpens&) = delete;
    BlockedOpens& operator=(const BlockedOpens&) = delete;

    // Opens of the pipe that blocked so far.
    int count() const { return m_count; }

private:
    const QByteArray m_path;
    std::atomic<bool> m_done = false;
    std::atomic<int> m_count = 0;
    std::thread m_writer;
};

} // namespace testenv
