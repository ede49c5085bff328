#pragma once
// The main window's menu bar and tool bar, built from the command table. Every menu item and tool
// button reports its own command id to one execute handler.
#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <vector>

class QAbstractButton;
class QAction;
class QMainWindow;

class CommandBars : public QObject {
    Q_OBJECT
public:
    using Execute = std::function<void(int id)>;

    CommandBars(QMainWindow* window, Execute execute);

    // The menu item or tool button with this id; nullptr when there is none.
    QAction* action(int id) const;

    // A push button of the window that runs this command: enabled and disabled with it.
    void bindButton(QAbstractButton* button, int id);

    // Commands whose windows come from other areas are enabled only while a window is registered for
    // them. Runs at start-up and whenever a menu is about to show.
    void updateStates();

    // Whether a command can run now (its window is registered, or it needs none).
    static bool IsAvailable(int id);

    // The icons come from the Adwaita theme (installed with the program's packages) wherever the
    // desktop's own theme has none.
    static void SetUpIconTheme();

private:
    QAction* makeAction(int id, QObject* parent);

    Execute m_execute;
    std::map<int, QAction*> m_actions;
    std::vector<std::pair<QPointer<QAbstractButton>, int>> m_buttons;
};
