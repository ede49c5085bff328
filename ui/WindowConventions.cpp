#include "ui/WindowConventions.h"

#include "core/GetWinVer.h"
#include "ui/HelpViewer.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

namespace {

class DigitsOnlyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            // Backspace edits; Tab, Return and Escape belong to the dialog (focus, default button,
            // close) and type nothing into the box.
            switch (key->key()) {
            case Qt::Key_Backspace:
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Escape:
                return false;
            default:
                break;
            }
            // Select All and Copy put nothing into the box; without Select All a new number would be
            // appended to the old one.
            if (key->matches(QKeySequence::SelectAll) || key->matches(QKeySequence::Copy))
                return false;
            const QString text = key->text();
            // Keys that type a character: only digits pass. Control characters (Ctrl+V and friends
            // type one) are refused too, so nothing but digits reaches the box by typing.
            if (!text.isEmpty()) {
                const QChar c = text.at(0);
                if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')))
                    return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

constexpr const char* kHelpTopicProperty = "velantoHelpTopic";

// F1 is caught for the whole application before any widget sees it, so no box (the editor included)
// can swallow it, and every modifier combination counts.
class HelpKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget)
            return false;
        for (QWidget* w = widget->window(); w;
             w = w->parentWidget() ? w->parentWidget()->window() : nullptr) {
            const QString topic = w->property(kHelpTopicProperty).toString();
            if (!topic.isEmpty()) {
                HelpViewer::showTopic(w, topic);
                return true;
            }
        }
        return false;
    }
};

void setMenuPolicy(QWidget* box, Qt::ContextMenuPolicy policy) {
    box->setContextMenuPolicy(policy);
    if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->lineEdit())
        combo->lineEdit()->setContextMenuPolicy(policy);
}

} // namespace

void ApplyAppearance(QWidget* window) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, WindowBackground);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

void InstallHelpKey(QWidget* window, const QString& topicPage) {
    window->setProperty(kHelpTopicProperty, topicPage);
    static HelpKeyFilter* filter = [] {
        auto* f = new HelpKeyFilter(qApp);
        qApp->installEventFilter(f);
        return f;
    }();
    Q_UNUSED(filter);
}

void HookRightClick(QWidget* box) {
    setMenuPolicy(box, Qt::NoContextMenu);
}

void UnhookRightClick(QWidget* box) {
    setMenuPolicy(box, Qt::DefaultContextMenu);
}

void HookMinWinSize(QWidget* mainWindow) {
    // The system's minimum, but never less than the window's layout needs to show every control whole.
    mainWindow->setMinimumSize(
        MinimumWindowSizeFor(GetWindowsName()).expandedTo(mainWindow->minimumSizeHint()));
}

void MakeDigitsOnly(QLineEdit* box) {
    box->installEventFilter(new DigitsOnlyFilter(box));
}

void SetUpDialog(QWidget* dialog, const QString& caption, const QString& topicPage) {
    ApplyAppearance(dialog);
    dialog->setWindowTitle(caption);
    if (!topicPage.isEmpty())
        InstallHelpKey(dialog, topicPage);
}

QWidget* MakeStepArrows(QLineEdit* box, int maximum, const QString& name, const QString& spokenName,
                        QWidget* parent) {
    auto* upDown = new QWidget(parent);
    upDown->setObjectName(name + QStringLiteral("UpDown"));
    auto* arrows = new QVBoxLayout(upDown);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    for (const bool up : {true, false}) {
        auto* arrow = new QToolButton(upDown);
        arrow->setObjectName(name + (up ? QStringLiteral("Up") : QStringLiteral("Down")));
        arrow->setAccessibleName(spokenName + (up ? QStringLiteral(" up") : QStringLiteral(" down")));
        arrow->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
        arrow->setAutoRepeat(true);
        arrow->setFixedSize(18, 11);
        arrows->addWidget(arrow);
        QObject::connect(arrow, &QToolButton::clicked, box, [box, maximum, up] {
            if (box->isEnabled())
                box->setText(QString::number(qBound(0, box->text().toInt() + (up ? 1 : -1), maximum)));
        });
    }
    return upDown;
}
