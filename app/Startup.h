#pragma once
#include "app/WindowAttention.h"

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

class QLocalServer;
class QWidget;

// What start-up needs to know of the machine. System() reads the real values; tests make their own.
struct StartupEnvironment {
    QString systemName;     // GetWindowsName()
    QSize screenSize;       // the primary screen, in logical pixels
    QString programFolder;  // holds the shipped Group.mdb
    QString appDataFolder;  // the user's data folder; empty when the system gives none
    QString instanceFolder; // where the single-instance lock and socket live (private to the user)
    QString settingsFolder; // the folder of the settings file ("Torvale"); none to check when empty

    static StartupEnvironment System();
};

// One running copy of the program per user: a lock file taken first thing, and a local socket through
// which a second copy asks the first for attention.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only copy; it then listens for later copies.
    bool acquire();
    // From a second copy: asks the first copy to draw attention to its main window.
    void askFirstCopyForAttention();

signals:
    // A second copy was started: the start-up brings its main window (when there is one yet) to the
    // front and flashes it for about a second.
    void attentionRequested();

private:
    void onConnection();

    QString m_socketPath;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
};

enum class StartupOutcome {
    Started,
    AlreadyRunning,    // ended without a message
    UnsupportedSystem, // "Velanto is not compatible with the current operating system."
    ScreenTooSmall,    // "The screen resolution is not adequate for running Velanto."
    DatabaseMissing,   // "Velanto has failed to start because Group.mdb was not found."
    UnsafeFolder, // the data or settings folder is a symbolic link or another user's (named in the message)
    DataFolderUnusable, // no data folder could be made (the folders tried are named in the message)
};

// The program's start: refuse a second copy, systems and screens it cannot run on and a missing
// shipped database (those end the program and leave nothing behind), then the settings and data folders
// (refused when a link or another user's) with the first-run database copy and history folder, then the
// windows.
class Startup {
public:
    explicit Startup(StartupEnvironment environment);
    ~Startup();

    StartupOutcome run();

    // The splash, the main window and the tip of the day; mainWindow takes the main window as soon as
    // it exists. Tests replace it; empty shows nothing.
    std::function<void(const StartupEnvironment&, QPointer<QWidget>& mainWindow)> showWindows =
        ShowStartupWindows;

    // How the main window is shown to the user when a second copy is started; tests record it.
    WindowAttention attention = WindowAttention::System();

    SingleInstance& instance() { return *m_instance; }
    // The main window while it exists (null before it is made and once it is closed).
    QWidget* mainWindow() const { return m_mainWindow; }

    // The windows of start-up: the splash while the main window loads, then the main window and the
    // tip of the day, then the main window's minimum size.
    static void ShowStartupWindows(const StartupEnvironment& environment, QPointer<QWidget>& mainWindow);

private:
    // Shows what the database check found, over the main window once it is up.
    void showNotices();

    StartupEnvironment m_env;
    std::unique_ptr<SingleInstance> m_instance;
    QPointer<QWidget> m_mainWindow;
    QStringList m_pendingNotices;
    QTimer m_notices; // asks again while the windows are still coming up
    bool m_windowsShown = false;
};
