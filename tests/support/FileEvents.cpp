#include "tests/support/FileEvents.h"

#include <QFile>

#include <sys/inotify.h>
#include <unistd.h>

namespace testenv {

FolderEvents::FolderEvents(const QString& folder, bool opens) {
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0)
        inotify_add_watch(m_fd, QFile::encodeName(folder).constData(),
                          IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_CLOSE_WRITE | (opens ? IN_OPEN : 0));
}

FolderEvents::~FolderEvents() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void FolderEvents::drain() {
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            const QString name = e->len ? QFile::decodeName(e->name) : QString();
            if (e->mask & IN_CREATE)
                m_events.append({name, QStringLiteral("create")});
            if (e->mask & IN_MOVED_TO)
                m_events.append({name, QStringLiteral("moved_to")});
            if (e->mask & IN_ATTRIB)
                m_events.append({name, QStringLiteral("attrib")});
            if (e->mask & IN_CLOSE_WRITE)
                m_events.append({name, QStringLiteral("write")});
            if (e->mask & IN_OPEN)
                m_events.append({name, QStringLiteral("open")});
            at += ssize_t(sizeof(inotify_event)) + e->len;
        }
    }
}

QStringList FolderEvents::eventsFor(const QString& name) {
    if (m_fd >= 0)
        drain();
    QStringList out;
    for (const auto& [file, what] : m_events)
        if (file == name)
            out << what;
    return out;
}

QStringList FolderEvents::namesWith(const QString& what) {
    if (m_fd >= 0)
        drain();
    QStringList out;
    for (const auto& [file, event] : m_events)
        if (event == what)
            out << file;
    return out;
}

} // namespace testenv
