#include "ui/AccessibleComboBox.h"

#include "ui/FieldLabels.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace {

class AccessibleComboBox : public QAccessibleWidget {
public:
    explicit AccessibleComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return box()->currentText();
        // The name stays the label's even when there is none: an unnamed box is a fault to be found,
        // not hidden behind the item it happens to show. A buddy label's text loses its colon, as the
        // names the program gives do.
        if (t == QAccessible::Name)
            return AccessibleNameOf(QAccessibleWidget::text(t));
        return QAccessibleWidget::text(t);
    }

    // The drop-down list, and the line edit of an editable box, as Qt's own interface offers them.
    int childCount() const override { return lineEdit() ? 2 : 1; }

    QAccessibleInterface* child(int index) const override {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(box()->view());
        if (index == 1 && lineEdit())
            return QAccessible::queryAccessibleInterface(lineEdit());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child)
            return -1;
        if (child->object() == box()->view())
            return 0;
        if (lineEdit() && child->object() == lineEdit())
            return 1;
        return -1;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        s.editable = box()->isEditable();
        return s;
    }

    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (actionName == showMenuAction() || actionName == pressAction()) {
            if (!box()->isEnabled())
                return;
            if (box()->view()->isVisible())
                box()->hidePopup();
            else
                box()->showPopup();
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
    QLineEdit* lineEdit() const { return box()->isEditable() ? box()->lineEdit() : nullptr; }
};

QAccessibleInterface* ComboBoxFactory(const QString& /*key*/, QObject* object) {
    // Asked class by class from the object's own class up; the combo box answers at the first.
    if (auto* box = qobject_cast<QComboBox*>(object))
        return NewAccessibleComboBox(box);
    return nullptr;
}

} // namespace

QAccessibleInterface* NewAccessibleComboBox(QComboBox* box) {
    return new AccessibleComboBox(box);
}

void InstallAccessibleComboBoxes() {
    QAccessible::installFactory(ComboBoxFactory);
}
