// The editing commands, their small dialogs, the context menu and printing.
#include "editor/HtmlEditorPrivate.h"

#include "editor/HtmlText.h"
#include "ui/OutputFiles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QPrinter>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace htmltext;

void HtmlEditor::Private::contextMenu(const QPoint& viewPosition) {
    emit q->ShowContextMenu(view->mapTo(q, viewPosition));
    if (menuCaptions.isEmpty())
        return;
    QMenu menu(q);
    for (int i = 0; i < menuCaptions.size(); ++i) {
        if (menuCaptions.at(i).isEmpty()) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(menuCaptions.at(i));
        action->setData(i);
        action->setEnabled(i >= menuStates.size() || menuStates.at(i) == 0);
    }
    QAction* chosen = menu.exec(view->mapToGlobal(viewPosition));
    if (!chosen)
        return;
    // Reported after the menu's own click is done with, for the same reason.
    const int index = chosen->data().toInt();
    QMetaObject::invokeMethod(
        q,
        [editor = QPointer<HtmlEditor>(q), index] {
            if (editor)
                emit editor->ContextMenuAction(index);
        },
        Qt::QueuedConnection);
}

bool HtmlEditor::Private::insertPicture(const QString& file, const QString& altText) {
    const QString source =
        QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toString(QUrl::FullyEncoded);
    const QString html =
        QStringLiteral("<img src=\"%1\" alt=\"%2\">").arg(AttributeText(source), AttributeText(altText));
    return call(QStringLiteral("__velanto.pasteHTML(%1)").arg(JsString(html))).toBool();
}

bool HtmlEditor::Private::findNext(const QString& text, bool matchCase) {
    return call(QStringLiteral("__velanto.find(%1, %2)")
                    .arg(JsString(text), matchCase ? QLatin1String("true") : QLatin1String("false")))
        .toBool();
}

void HtmlEditor::Private::fontDialog() {
    EditorDialogValues values = dialogValues;
    values.fontFace = call(QStringLiteral("document.queryCommandValue('fontName')")).toString();
    values.fontFace.remove(QLatin1Char('"'));
    values.fontSize = 0;
    values.fontColor.clear();
    if (!AskEditorDialog(q, EditorDialogKind::Font, values))
        return;
    bool done = false;
    if (!values.fontFace.isEmpty())
        done |=
            call(QStringLiteral("__velanto.exec('fontName', %1)").arg(JsString(values.fontFace))).toBool();
    if (values.fontSize >= 1 && values.fontSize <= 7)
        done |= call(QStringLiteral("__velanto.exec('fontSize', '%1')").arg(values.fontSize)).toBool();
    if (!values.fontColor.isEmpty())
        done |=
            call(QStringLiteral("__velanto.exec('foreColor', %1)").arg(JsString(values.fontColor))).toBool();
    if (done)
        changed();
}

void HtmlEditor::Private::hyperlinkDialog() {
    EditorDialogValues values = dialogValues;
    values.url = call(QStringLiteral("__velanto.linkAtSelection()")).toString();
    if (values.url.isEmpty())
        values.url = QStringLiteral("http://");
    if (!AskEditorDialog(q, EditorDialogKind::Hyperlink, values))
        return;
    if (values.url.isEmpty() || values.url == QLatin1String("http://"))
        return;
    if (call(QStringLiteral("__velanto.exec('createLink', %1)").arg(JsString(values.url))).toBool())
        changed();
}

void HtmlEditor::Private::pictureDialog() {
    EditorDialogValues values = dialogValues;
    if (!AskEditorDialog(q, EditorDialogKind::Picture, values) || values.picturePath.isEmpty())
        return;
    dialogValues.picturePath = values.picturePath;
    if (insertPicture(values.picturePath, values.altText))
        changed();
}

void HtmlEditor::Private::findDialog() {
    EditorDialogValues values = dialogValues;
    AskEditorDialog(q, EditorDialogKind::Find, values,
                    [this](const QString& text, bool matchCase) { return findNext(text, matchCase); });
    dialogValues.findText = values.findText;
    dialogValues.matchCase = values.matchCase;
}

void HtmlEditor::ExecCommand(int command, int option) {
    Q_UNUSED(option); // the four commands with a dialog always show it: without it they have no value
    struct Mapping {
        int command;
        const char* name;
    };
    static const Mapping mappings[] = {
        {EditCommand::Bold, "bold"},
        {EditCommand::Copy, "copy"},
        {EditCommand::Cut, "cut"},
        {EditCommand::Paste, "paste"},
        {EditCommand::Delete, "forwardDelete"},
        {EditCommand::Indent, "indent"},
        {EditCommand::Italic, "italic"},
        {EditCommand::JustifyCenter, "justifyCenter"},
        {EditCommand::JustifyLeft, "justifyLeft"},
        {EditCommand::JustifyRight, "justifyRight"},
        {EditCommand::OrderList, "insertOrderedList"},
        {EditCommand::Outdent, "outdent"},
        {EditCommand::Redo, "redo"},
        {EditCommand::RemoveFormat, "removeFormat"},
        {EditCommand::SelectAll, "selectAll"},
        {EditCommand::Underline, "underline"},
        {EditCommand::Undo, "undo"},
        {EditCommand::Unlink, "unlink"},
        {EditCommand::UnorderList, "insertUnorderedList"},
    };
    for (const Mapping& mapping : mappings) {
        if (mapping.command != command)
            continue;
        const bool done =
            d->call(QStringLiteral("__velanto.exec('%1')").arg(QLatin1String(mapping.name))).toBool();
        if (done && command != EditCommand::SelectAll && command != EditCommand::Copy)
            d->changed();
        return;
    }
    switch (command) {
    case EditCommand::Find:
        d->findDialog();
        return;
    case EditCommand::Font:
        d->fontDialog();
        return;
    case EditCommand::Hyperlink:
        d->hyperlinkDialog();
        return;
    case EditCommand::Image:
        d->pictureDialog();
        return;
    default:
        return;
    }
}

bool HtmlEditor::Private::printToPdfFile(const QPrinter& printer) {
    const QString target = printer.outputFileName();
    if (target.isEmpty())
        return false;
    struct Result {
        bool done = false;
        QByteArray pdf;
    };
    auto result = std::make_shared<Result>();
    QPointer<Private> self(this);
    page->printToPdf(
        [result, self](const QByteArray& pdf) {
            result->done = true;
            result->pdf = pdf;
            if (self)
                emit self->progress();
        },
        printer.pageLayout(), printer.pageRanges());
    waitFor([&result] { return result->done; }, LoadTimeoutMs);
    return !result->pdf.isEmpty() && WriteFileAtomically(target, result->pdf);
}

QPrinter& HtmlEditor::CurrentPrinter() {
    static QPrinter* printer = [] {
        auto* made = new QPrinter(QPrinter::HighResolution);
        qAddPostRoutine([] { delete &HtmlEditor::CurrentPrinter(); });
        return made;
    }();
    return *printer;
}

bool HtmlEditor::PrintDocument(qint32 flags) {
    Q_UNUSED(flags);
    if (!d->waitReady())
        return false;
    QPrinter& printer = CurrentPrinter();
    // The view prints a picture of each page; a PDF file gets the engine's own PDF, whose text stays text.
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return d->printToPdfFile(printer);
    struct Result {
        bool done = false;
        bool ok = false;
    };
    auto result = std::make_shared<Result>();
    QPointer<Private> self(d);
    auto finish = [result, self](bool ok) {
        result->done = true;
        result->ok = ok;
        if (self)
            emit self->progress();
    };
    const QMetaObject::Connection connection = connect(d->view, &QWebEngineView::printFinished, d, finish);
    d->view->print(&printer);
    d->waitFor([&result] { return result->done; }, LoadTimeoutMs);
    disconnect(connection);
    return result->ok;
}
