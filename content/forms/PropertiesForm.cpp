#include "content/forms/PropertiesForm.h"

#include "content/PropertiesLoad.h"
#include "editor/HtmlEditor.h"
#include "ui/WindowConventions.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PropertiesForm::PropertiesForm(HtmlEditor* editor, QWidget* parent) : QDialog(parent) {
    SetUpDialog(this, QStringLiteral("Properties"), QStringLiteral("Welcome.htm"));

    // Without an editor every value counts as empty and each box shows its default text. The tokens are
    // looked for in the markup with its values bare, however the file quoted them.
    const DocumentProperties p =
        editor ? ReadDocumentProperties(editor->CurrentDocumentPath(), editor->DOM().title(),
                                        BareAttributeValues(editor->DocumentHTML()))
               : ReadDocumentProperties(QString(), QString(), QString());

    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame"));
    auto* grid = new QGridLayout(frame);
    const struct {
        const char* name;
        const char* label;
        QString value;
    } rows[] = {
        {"LocationTextBox", "Location :", p.location},         {"TitleTextBox", "Page Title :", p.title},
        {"DirectionTextBox", "Page Direction :", p.direction}, {"PageTextBox", "Page Language :", p.language},
        {"HTMLTextBox", "HTML Encoding :", p.encoding},
    };
    int line = 0;
    for (const auto& row : rows) {
        auto* label = new QLabel(QString::fromLatin1(row.label), frame);
        auto* box = new QLineEdit(row.value, frame);
        box->setObjectName(QLatin1String(row.name));
        box->setReadOnly(true);
        box->setMinimumWidth(320);
        box->setCursorPosition(0);
        label->setBuddy(box);
        grid->addWidget(label, line, 0);
        grid->addWidget(box, line, 1);
        ++line;
    }

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}
