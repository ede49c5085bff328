#pragma once
// Records what happens to the files of one folder (inotify), so a test can tell whether a file got its
// mode when it was made or had it changed afterwards.
#include <QString>
#include <QStringList>

namespace testenv {

class FolderEvents {
public:
    // With opens, also every opening of a file ("open"), for reading too.
    explicit FolderEvents(const QString& folder, bool opens = false);
    ~FolderEvents();
    FolderEvents(const FolderEvents&) = delete;
    FolderEvents& operator=(const FolderEvents&) = delete;

    // The events so far for the file of that name, in order: "create", "moved_to", "attrib", "write", "open".
    QStringList eventsFor(const QString& name);
    // The files that had that event so far, in order (a name once per event).
    QStringList namesWith(const QString& what);

private:
    void drain();

    int m_fd = -1;
    QList<QPair<QString, QString>> m_events;
};

} // namespace testenv
