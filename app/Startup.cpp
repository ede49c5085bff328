#include "app/Startup.h"

#include "app/MainForm.h"
#include "app/SplashForm.h"
#include "app/TipForm.h"
#include "core/DatabaseCheck.h"
#include "core/GetWinVer.h"
#include "core/Globals.h"
#include "core/Paths.h"
#include "core/PrivateFiles.h"
#include "core/Settings.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

namespace {

QString withSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

void critical(const QString& text) {
    ShowMessage(nullptr, text, QMessageBox::Critical);
}

void critical(const char* text) {
    critical(QString::fromLatin1(text));
}

} // namespace

StartupEnvironment StartupEnvironment::System() {
    StartupEnvironment env;
    env.systemName = GetWindowsName();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        env.screenSize = screen->size();
    env.programFolder = ProgramFolder();
    env.appDataFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    env.settingsFolder = QFileInfo(SettingsFilePath()).path();
    // The runtime folder is the user's own (mode 0700); without one, our private temporary folder.
    env.instanceFolder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (env.instanceFolder.isEmpty())
        env.instanceFolder = TempFolder();
    return env;
}

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), m_socketPath(withSlash(folder) + QStringLiteral("Velanto.socket")),
      m_lock(withSlash(folder) + QStringLiteral("Velanto.lock")) {
    // A lock is stale only when the copy that took it is gone, however long it has been running.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire() {
    if (!m_lock.tryLock(0))
        return false;
    // We hold the lock, so a socket left behind is from a copy that ended without cleaning up.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server->listen(m_socketPath))
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
    return true;
}

void SingleInstance::askFirstCopyForAttention() {
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(1000))
        return;
    socket.write("attention\n");
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
}

void SingleInstance::onConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        emit attentionRequested();
    }
}

Startup::Startup(StartupEnvironment environment)
    : m_env(std::move(environment)), m_instance(std::make_unique<SingleInstance>(m_env.instanceFolder)) {
    // This copy may still be starting up; then there is no window to show yet.
    QObject::connect(m_instance.get(), &SingleInstance::attentionRequested, m_instance.get(), [this] {
        if (m_mainWindow)
            DrawAttention(m_mainWindow, attention);
    });
}

StartupOutcome Startup::run() {
    if (!m_instance->acquire()) {
        m_instance->askFirstCopyForAttention();
        return StartupOutcome::AlreadyRunning;
    }
    if (m_env.systemName == QLatin1String(UnknownWindows)) {
        critical("Velanto is not compatible with the current operating system.");
        return StartupOutcome::UnsupportedSystem;
    }
    if (m_env.screenSize.width() < 800 || m_env.screenSize.height() < 600) {
        critical("The screen resolution is not adequate for running Velanto.");
        return StartupOutcome::ScreenTooSmall;
    }
    const QString programFolder = withSlash(m_env.programFolder);
    const QString shipped = programFolder + QStringLiteral("Group.mdb");
    if (!QFileInfo(shipped).isFile()) {
        critical("Velanto has failed to start because Group.mdb was not found.");
        return StartupOutcome::DatabaseMissing;
    }
    QFile::setPermissions(shipped, QFile::permissions(shipped) | QFile::ReadOwner | QFile::WriteOwner);

    // The settings (with the account password) and the recipients live in folders of the user's own;
    // one that someone else made, or a link pointing elsewhere, is never used.
    QString wrongFolder;
    QStringList triedFolders;
    if (!m_env.settingsFolder.isEmpty() && MakePrivateFolder(m_env.settingsFolder) == FolderState::NotOurs)
        wrongFolder = m_env.settingsFolder;
    const QString dataPath = wrongFolder.isEmpty() ? ResolveDataPath(m_env.appDataFolder, programFolder,
                                                                     &wrongFolder, &triedFolders)
                                                   : QString();
    if (!wrongFolder.isEmpty()) {
        critical(QStringLiteral("Velanto has failed to start because the folder %1 is a symbolic link or "
                                "belongs to another user.")
                     .arg(QDir::toNativeSeparators(wrongFolder)));
        return StartupOutcome::UnsafeFolder;
    }
    if (dataPath.isEmpty()) {
        QStringList names;
        for (const QString& folder : std::as_const(triedFolders))
            names << QDir::toNativeSeparators(folder);
        critical(QStringLiteral("Velanto has failed to start because none of these folders could be made "
                                "to hold its data:\n%1")
                     .arg(names.join(QLatin1Char('\n'))));
        return StartupOutcome::DataFolderUnusable;
    }
    SetDataPath(dataPath);

    // The user's copy is never overwritten: from the first start on it holds the user's recipients.
    const QString userDatabase = DataPath() + QStringLiteral("Group.mdb");
    if (!QFileInfo::exists(userDatabase))
        CopyToNewPrivateFile(shipped, userDatabase);
    MakePrivateFolder(DataPath() + QStringLiteral("History"));

    // The database is checked while the windows come up, on a thread of its own; what it finds is told
    // over the main window once that shows (writes wait for the answer meanwhile).
    QObject::connect(&DatabaseCheckNotices::instance(), &DatabaseCheckNotices::problemFound, &m_notices,
                     [this](const QString&, const QString& text) {
                         m_pendingNotices << text;
                         showNotices();
                     });
    QObject::connect(&m_notices, &QTimer::timeout, &m_notices, [this] { showNotices(); });
    StartDatabaseCheck(userDatabase);

    if (showWindows)
        showWindows(m_env, m_mainWindow);
    m_windowsShown = true;
    showNotices();
    return StartupOutcome::Started;
}

void Startup::showNotices() {
    const bool windowUp = m_mainWindow && m_mainWindow->isVisible();
    if (!windowUp && !m_windowsShown) {
        // Still starting (the splash is up): asked again shortly.
        if (!m_pendingNotices.isEmpty() && !m_notices.isActive())
            m_notices.start(100);
        return;
    }
    m_notices.stop();
    while (!m_pendingNotices.isEmpty())
        ShowMessage(windowUp ? m_mainWindow.data() : nullptr, m_pendingNotices.takeFirst(),
                    QMessageBox::Critical);
}

Startup::~Startup() {
    StopDatabaseChecks();
}

void Startup::ShowStartupWindows(const StartupEnvironment& environment, QPointer<QWidget>& mainWindow) {
    auto* splash = new SplashForm;
    splash->WinVer()->setText(environment.systemName);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        splash->move(screen->availableGeometry().center() - splash->rect().center());
    splash->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    for (int step = 1; step <= 500; ++step) {
        splash->ProgressBar()->setValue(step);
        if (step % 25 == 0)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

    auto* mainForm = new MainForm;
    mainWindow = mainForm;
    mainForm->setAttribute(Qt::WA_DeleteOnClose);
    mainForm->resize(mainForm->sizeHint().expandedTo(QSize(760, 580)));

    // The splash stays up a moment longer while the window settles.
    QEventLoop wait;
    QTimer::singleShot(1000, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    delete splash;

    mainForm->show();
    QApplication::restoreOverrideCursor();

    TipForced = false;
    const QPointer<MainForm> window = mainForm;
    TipForm::ShowTip(mainForm);
    // The main window may have been closed while the tip was up.
    if (window)
        HookMinWinSize(window);
}
