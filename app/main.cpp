#include "app/AreaWindows.h"
#include "app/Startup.h"
#include "ui/AccessibleComboBox.h"

#include <QApplication>
#include <QWidget>
#include <unistd.h>

int main(int argc, char** argv) {
    // Chromium, which draws the HTML editor, refuses to start its sandbox for root.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    InstallAccessibleComboBoxes();

    // The windows the main window and the Group Manager open through hooks.
    RegisterAreaWindows();
    Startup startup(StartupEnvironment::System());
    switch (startup.run()) {
    case StartupOutcome::Started:
        // Closing the main window while the tip of the day was still up ends the program here.
        if (!startup.mainWindow() || !startup.mainWindow()->isVisible())
            return 0;
        return app.exec();
    case StartupOutcome::AlreadyRunning:
        return 0;
    default:
        return 1;
    }
}
