#include "editor/EditorDialogs.h"

#include "ui/FieldLabels.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowConventions.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

EditorDialogHook& Hook() {
    static EditorDialogHook hook;
    return hook;
}

QDialogButtonBox* OkCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

bool AskFont(QWidget* parent, EditorDialogValues& values) {
    QDialog dialog(parent);
    SetUpDialog(&dialog, QStringLiteral("Font"), QStringLiteral("Welcome.htm"));
    auto* face = new QFontComboBox(&dialog);
    face->setObjectName(QStringLiteral("FontFaceComboBox"));
    face->setEditable(true);
    face->setCurrentText(values.fontFace);
    auto* size = new QComboBox(&dialog);
    size->setObjectName(QStringLiteral("FontSizeComboBox"));
    size->addItem(QString(), 0);
    static const char* const points[] = {"8", "10", "12", "14", "18", "24", "36"};
    for (int i = 1; i <= 7; ++i)
        size->addItem(QStringLiteral("%1 (%2 pt)").arg(i).arg(QLatin1String(points[i - 1])), i);
    size->setCurrentIndex(qBound(0, values.fontSize, 7));
    auto* color = new QLineEdit(values.fontColor, &dialog);
    color->setObjectName(QStringLiteral("FontColorTextBox"));
    auto* pick = new QPushButton(QStringLiteral("..."), &dialog);
    QObject::connect(pick, &QPushButton::clicked, &dialog, [&dialog, color] {
        const QColor chosen = QColorDialog::getColor(QColor(color->text()), &dialog);
        if (chosen.isValid())
            color->setText(chosen.name());
    });
    // The colour box and its button stand in one row after the label: each is named for screen readers.
    NameControl(color, QStringLiteral("Color"));
    NameControl(pick, QStringLiteral("Choose color"));
    auto* colorRow = new QHBoxLayout;
    colorRow->addWidget(color);
    colorRow->addWidget(pick);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Font :"), face);
    form->addRow(QStringLiteral("Size :"), size);
    form->addRow(QStringLiteral("Color :"), colorRow);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(OkCancel(&dialog));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values.fontFace = face->currentText().trimmed();
    values.fontSize = size->currentData().toInt();
    values.fontColor = color->text().trimmed();
    return true;
}

bool AskText(QWidget* parent, const QString& caption, const QString& label, QString& text) {
    QDialog dialog(parent);
    SetUpDialog(&dialog, caption, QStringLiteral("Welcome.htm"));
    auto* box = new QLineEdit(text, &dialog);
    box->setObjectName(QStringLiteral("UrlTextBox"));
    box->setMinimumWidth(320);
    auto* form = new QFormLayout;
    form->addRow(label, box);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(OkCancel(&dialog));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    text = box->text().trimmed();
    return true;
}

bool AskPicture(QWidget* parent, EditorDialogValues& values) {
    QDialog dialog(parent);
    SetUpDialog(&dialog, QStringLiteral("Picture"), QStringLiteral("Welcome.htm"));
    auto* path = new QLineEdit(values.picturePath, &dialog);
    path->setObjectName(QStringLiteral("PictureTextBox"));
    path->setMinimumWidth(320);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), &dialog);
    QObject::connect(browse, &QPushButton::clicked, &dialog, [&dialog, path] {
        const QString chosen =
            GetOpenFileName(&dialog, QStringLiteral("Picture"),
                            QStringLiteral("Image Files (*.gif *.jpg *.jpeg *.png *.bmp);;All Files (*)"));
        if (!chosen.isEmpty())
            path->setText(chosen);
    });
    auto* alt = new QLineEdit(values.altText, &dialog);
    alt->setObjectName(QStringLiteral("AltTextBox"));
    NameControl(path, QStringLiteral("Picture"));
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(path);
    pathRow->addWidget(browse);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Picture :"), pathRow);
    form->addRow(QStringLiteral("Alternate Text :"), alt);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(OkCancel(&dialog));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values.picturePath = path->text().trimmed();
    values.altText = alt->text().trimmed();
    return true;
}

// The find dialog stays open for repeated searches; Close ends it.
bool AskFind(QWidget* parent, EditorDialogValues& values, const FindNextFunction& findNext) {
    QDialog dialog(parent);
    SetUpDialog(&dialog, QStringLiteral("Find"), QStringLiteral("Welcome.htm"));
    auto* text = new QLineEdit(values.findText, &dialog);
    text->setObjectName(QStringLiteral("FindTextBox"));
    text->setMinimumWidth(260);
    auto* matchCase = new QCheckBox(QStringLiteral("Match case"), &dialog);
    matchCase->setChecked(values.matchCase);
    auto* next = new QPushButton(QStringLiteral("Find Next"), &dialog);
    next->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("Close"), &dialog);
    bool searched = false;
    QObject::connect(next, &QPushButton::clicked, &dialog, [&] {
        if (text->text().isEmpty())
            return;
        searched = true;
        values.findText = text->text();
        values.matchCase = matchCase->isChecked();
        if (findNext && !findNext(values.findText, values.matchCase))
            ShowMessage(&dialog, QStringLiteral("The search text was not found."), QMessageBox::Information);
    });
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* row = new QHBoxLayout;
    auto* findLabel = new QLabel(QStringLiteral("Find what :"), &dialog);
    NameAfterLabel(findLabel, text);
    row->addWidget(findLabel);
    row->addWidget(text);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(next);
    buttons->addWidget(close);
    auto* left = new QVBoxLayout;
    left->addLayout(row);
    left->addWidget(matchCase);
    auto* layout = new QHBoxLayout(&dialog);
    layout->addLayout(left);
    layout->addLayout(buttons);
    dialog.exec();
    return searched;
}

} // namespace

void SetEditorDialogHook(EditorDialogHook hook) {
    Hook() = std::move(hook);
}

bool AskEditorDialog(QWidget* parent, EditorDialogKind kind, EditorDialogValues& values,
                     const FindNextFunction& findNext) {
    if (Hook()) {
        if (!Hook()(kind, values))
            return false;
        if (kind == EditorDialogKind::Find && findNext && !values.findText.isEmpty())
            findNext(values.findText, values.matchCase);
        return true;
    }
    switch (kind) {
    case EditorDialogKind::Font:
        return AskFont(parent, values);
    case EditorDialogKind::Hyperlink:
        return AskText(parent, QStringLiteral("Hyperlink"), QStringLiteral("URL :"), values.url);
    case EditorDialogKind::Picture:
        return AskPicture(parent, values);
    case EditorDialogKind::Find:
        return AskFind(parent, values, findNext);
    }
    return false;
}
