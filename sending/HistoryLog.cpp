#include "sending/HistoryLog.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

HistoryLog::~HistoryLog() {
    if (m_file.isOpen())
        close();
}

void HistoryLog::reset() {
    if (m_file.isOpen())
        m_file.close();
    m_path.clear();
    m_buffer.clear();
    m_failed = false;
    m_encoder = QStringEncoder(QStringEncoder::Utf8);
}

bool HistoryLog::open(const QString& path) {
    if (m_file.isOpen())
        m_file.close();
    m_path = path;
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_file.setFileName(path);
    // Created private; an existing file of the same name (a run in the same second) is replaced.
    QFile::remove(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        m_failed = true;
        m_buffer.clear();
        return false;
    }
    m_sinceSync.start();
    flush();
    return true;
}

void HistoryLog::append(const QString& text) {
    if (m_failed)
        return;
    m_buffer += m_encoder.encode(text);
}

void HistoryLog::flush() {
    if (!m_file.isOpen() || m_buffer.isEmpty())
        return;
    if (m_file.write(m_buffer) == m_buffer.size())
        m_buffer.clear();
    if (m_sinceSync.hasExpired(1000)) {
        ::fdatasync(m_file.handle());
        m_sinceSync.restart();
    }
}

void HistoryLog::close() {
    append(QStringLiteral("\r\n"));
    if (m_file.isOpen()) {
        flush();
        ::fdatasync(m_file.handle());
        m_file.close();
    }
    m_buffer.clear();
}
