#include "app/CommandBars.h"

#include "app/CommandTable.h"
#include "recipients/forms/TransferWindows.h"
#include "ui/CommandWindows.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace {

QString text(const char* s) {
    return QString::fromUtf8(s);
}

int toolButtonRuns(int id) {
    for (const ToolButtonInfo& b : ToolBarLayout())
        if (b.id == id)
            return b.runs;
    return id;
}

} // namespace

void CommandBars::SetUpIconTheme() {
    static const bool done = [] {
        QStringList paths = QIcon::themeSearchPaths();
        const QString system = QStringLiteral("/usr/share/icons");
        if (!paths.contains(system) && QDir(system).exists())
            paths << system;
        QIcon::setThemeSearchPaths(paths);
        const QString current = QIcon::themeName();
        if (current.isEmpty() || current == QLatin1String("hicolor"))
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        else
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    Q_UNUSED(done);
}

CommandBars::CommandBars(QMainWindow* window, Execute execute)
    : QObject(window), m_execute(std::move(execute)) {
    SetUpIconTheme();

    QMenuBar* bar = window->menuBar();
    bar->setObjectName(QStringLiteral("MenuBar"));
    bar->setWindowTitle(QStringLiteral("Menu Bar"));
    for (const MenuLayout& layout : MenuBarLayout()) {
        QMenu* menu = bar->addMenu(text(layout.title));
        connect(menu, &QMenu::aboutToShow, this, &CommandBars::updateStates);
        for (const MenuEntry& entry : layout.entries) {
            if (entry.submenu) {
                QMenu* sub = menu->addMenu(text(entry.submenu));
                connect(sub, &QMenu::aboutToShow, this, &CommandBars::updateStates);
                for (int id : entry.items)
                    sub->addAction(makeAction(id, sub));
            } else if (entry.id == 0) {
                menu->addSeparator();
            } else {
                menu->addAction(makeAction(entry.id, menu));
            }
        }
    }

    QToolBar* tools = window->addToolBar(QStringLiteral("Tool Bar"));
    tools->setObjectName(QStringLiteral("ToolBar"));
    tools->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tools->setIconSize(QSize(22, 22));
    for (const ToolButtonInfo& b : ToolBarLayout()) {
        if (b.separatorBefore)
            tools->addSeparator();
        QAction* action = new QAction(text(b.caption), tools);
        action->setObjectName(QStringLiteral("Command%1").arg(b.id));
        action->setData(b.id);
        action->setToolTip(text(b.caption));
        if (const CommandInfo* runs = FindCommand(b.runs)) {
            action->setStatusTip(text(runs->description));
            if (runs->icon)
                action->setIcon(QIcon::fromTheme(text(runs->icon)));
        }
        connect(action, &QAction::triggered, this, [this, id = b.id] { m_execute(id); });
        tools->addAction(action);
        m_actions[b.id] = action;
    }
    // The bar's own overflow button (shown when the window is too narrow for every button) has no
    // text of its own; without one a screen reader announces an unnamed check box.
    if (auto* more = tools->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("More Commands"));
    updateStates();
}

QAction* CommandBars::makeAction(int id, QObject* parent) {
    const CommandInfo* info = FindCommand(id);
    auto* action = new QAction(parent);
    action->setObjectName(QStringLiteral("Command%1").arg(id));
    action->setData(id);
    QString caption = info ? text(info->caption) : QString();
    if (info && *info->shortcut) {
        if (IsBoundShortcut(info->shortcut)) {
            action->setShortcut(QKeySequence(text(info->shortcut)));
            action->setShortcutContext(Qt::WindowShortcut);
        } else {
            // Shown beside the caption only: the key belongs to the editor and the text boxes.
            caption += QLatin1Char('\t') + text(info->shortcut);
        }
    }
    action->setText(caption);
    if (info) {
        action->setStatusTip(text(info->description));
        if (info->icon)
            action->setIcon(QIcon::fromTheme(text(info->icon)));
    }
    action->setIconVisibleInMenu(true);
    connect(action, &QAction::triggered, this, [this, id] { m_execute(id); });
    m_actions[id] = action;
    return action;
}

QAction* CommandBars::action(int id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CommandBars::bindButton(QAbstractButton* button, int id) {
    m_buttons.emplace_back(button, id);
    button->setEnabled(IsAvailable(id));
}

bool CommandBars::IsAvailable(int id) {
    id = toolButtonRuns(id);
    if (IsRoutedCommand(id))
        return CommandWindows::IsRegistered(id);
    if (id == CommandId::ImportRecipients)
        return bool(OpenRecipientImportWindow());
    if (id == CommandId::ExportRecipients)
        return bool(OpenRecipientExportWindow());
    return true;
}

void CommandBars::updateStates() {
    for (const auto& [id, action] : m_actions)
        action->setEnabled(IsAvailable(id));
    for (const auto& [button, id] : m_buttons)
        if (button)
            button->setEnabled(IsAvailable(id));
}
