#include "ui/FieldLabels.h"

#include <QLabel>
#include <QLineEdit>
#include <QVariant>

namespace {
constexpr const char* kTypingLimit = "typingLimit";
}

QString AccessibleNameOf(const QString& labelText) {
    QString name;
    name.reserve(labelText.size());
    for (qsizetype i = 0; i < labelText.size(); ++i) {
        // "&&" is a literal ampersand; a single one marks the mnemonic.
        if (labelText[i] == QLatin1Char('&') && i + 1 < labelText.size())
            ++i;
        name += labelText[i];
    }
    name = name.trimmed();
    while (name.endsWith(QLatin1Char(':')))
        name = name.chopped(1).trimmed();
    return name;
}

void NameAfterLabel(QLabel* label, QWidget* field) {
    label->setBuddy(field);
    NameControl(field, AccessibleNameOf(label->text()));
}

void NameControl(QWidget* field, const QString& name) {
    field->setAccessibleName(name);
}

void SetTypingLimit(QLineEdit* box, int limit) {
    box->setProperty(kTypingLimit, limit);
    box->setMaxLength(qMax(limit, int(box->text().size())));
    // Once an over-long text is cut down to the limit (or cleared), the limit holds again. The length
    // is changed only then: changing it re-sets the text, which would move the cursor on every key.
    QObject::connect(box, &QLineEdit::textChanged, box, [box, limit](const QString& text) {
        if (text.size() <= limit && box->maxLength() != limit)
            box->setMaxLength(limit);
    });
}

void SetUncutText(QLineEdit* box, const QString& text) {
    const QVariant limit = box->property(kTypingLimit);
    if (limit.isValid())
        box->setMaxLength(qMax(limit.toInt(), int(text.size())));
    box->setText(text);
}
