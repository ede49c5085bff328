#include "ui/HelpViewer.h"

#include "ui/FieldLabels.h"

#include "core/Paths.h"
#include "ui/WindowConventions.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this)) {
    NameControl(m_browser, QStringLiteral("Help page"));
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Velanto Help"));
    ApplyAppearance(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    // Help pages are local; links to the web are not followed from here.
    m_browser->setOpenExternalLinks(false);
    m_browser->setSearchPaths({ProgramFolder() + QStringLiteral("Help")});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(640, 480);
    // The window has no Close button: Escape closes it, as it closes every dialog.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void HelpViewer::showPage(const QString& topicPage) {
    m_page = topicPage;
    const QString file = ProgramFolder() + QStringLiteral("Help/") + topicPage;
    if (QFileInfo(file).isFile()) {
        m_browser->setSource(QUrl::fromLocalFile(file));
    } else {
        m_browser->setHtml(
            QStringLiteral("<h2>Page not found</h2><p>The help page \"%1\" could not be found.</p>")
                .arg(topicPage.toHtmlEscaped()));
    }
}

HelpViewer* HelpViewer::showTopic(QWidget* from, const QString& topicPage) {
    static QPointer<HelpViewer> viewer;
    // A modal dialog blocks every other window: the viewer must belong to the modal window to be usable.
    QWidget* owner = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : from;
    // The viewer belongs to the window that asked and goes with it; one viewer at a time.
    if (viewer && viewer->parentWidget() != (owner ? owner->window() : nullptr))
        viewer->deleteLater();
    if (!viewer || viewer->parentWidget() != (owner ? owner->window() : nullptr))
        viewer = new HelpViewer(owner ? owner->window() : nullptr);
    viewer->showPage(topicPage);
    viewer->show();
    viewer->raise();
    return viewer;
}
