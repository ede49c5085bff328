#pragma once
#include <QWidget>

class QTextBrowser;

// The program's help: one HTML page per topic in the program folder's "Help" folder, shown in a small
// browser window. A missing page is reported in the window itself.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);
    void showPage(const QString& topicPage);
    QString currentPage() const { return m_page; }

    // Shows the topic in the one help window, raising it above the window that asked.
    static HelpViewer* showTopic(QWidget* from, const QString& topicPage);

private:
    QTextBrowser* m_browser;
    QString m_page;
};
