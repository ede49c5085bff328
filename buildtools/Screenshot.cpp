// Draws the main window, as a user with an account and three groups sees it with its Message menu open,
// into a PNG file.
// Everything it writes (settings, data folder) lives in a temporary folder of its own.
#include "app/AreaWindows.h"
#include "app/MainForm.h"
#include "core/Database.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "editor/HtmlEditor.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {
void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velanto_screenshot <output.png>\n");
        return 2;
    }
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/velanto-shot-XXXXXX"));
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name,
                QFile::encodeName(home.path() + QLatin1Char('/') + QString::fromLatin1(name).toLower()));
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    const QString data = home.path() + QStringLiteral("/data/");
    QDir().mkpath(data);
    SetDataPath(data);
    if (!QFile::copy(ProgramFolder() + QStringLiteral("Group.mdb"), UserDatabasePath())) {
        std::fprintf(stderr, "velanto_screenshot: no Group.mdb beside the program\n");
        return 1;
    }
    Connection db;
    if (db.Open())
        for (const char* group : {"Customers", "Newsletter", "Partners"})
            db.ExecuteWrite(QStringLiteral("INSERT INTO [Groups] ([GroupName]) VALUES ('%1')")
                                .arg(QString::fromLatin1(group)));
    db.Close();
    const QString account = QString::fromLatin1(Sections::Account);
    SaveSetting(account, QString::fromLatin1(Keys::Name), QStringLiteral("Anna Lindqvist"));
    SaveSetting(account, QString::fromLatin1(Keys::Email), QStringLiteral("anna@example.com"));

    // The windows of the other areas, as the program registers them at start-up.
    RegisterAreaWindows();
    MainForm form;
    form.resize(820, 620);
    form.findChild<QLineEdit*>(QStringLiteral("SubjectTextBox"))
        ->setText(QStringLiteral("Our spring offers"));
    form.editor()->SetDocumentHTML(QStringLiteral(
        "<html><body style=\"font-family: sans-serif\"><h2 style=\"color:#2a5caa\">Spring is here</h2>"
        "<p>Dear $*MergeFirstName*$,</p><p>this month every order ships <b>free of charge</b>, and "
        "members save <i>ten percent</i> on the whole range.</p><ul><li>New garden collection</li>"
        "<li>Workshops every Saturday</li></ul><p>Kind regards,<br>Anna</p></body></html>"));
    form.show();
    settle(2500);
    // The Message menu stands open over the window, so the picture shows the menus as well.
    QPixmap shot = form.grab();
    QMenuBar* bar = form.menuBar();
    for (QAction* top : bar->actions()) {
        if (top->text() != QStringLiteral("Messa&ge") || !top->menu())
            continue;
        const QPoint at = bar->mapTo(&form, bar->actionGeometry(top).bottomLeft());
        top->menu()->popup(form.mapToGlobal(at));
        settle(300);
        QPainter painter(&shot);
        painter.drawPixmap(at, top->menu()->grab());
        top->menu()->hide();
    }
    if (!shot.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "velanto_screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
