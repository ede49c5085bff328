// The document outlives the engine's render process: the program keeps a copy of it after each change,
// and when the process ends (killed, out of memory, crashed) a new one shows that copy again.
#include "editor/EditorScript.h"
#include "editor/HtmlEditorPrivate.h"
#include "ui/MessageBoxes.h"

#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>

void HtmlEditor::Private::changed() {
    keepCopyNow();
    markDirty();
}

// Typing: the copy follows once the keys have paused, not at every key.
void HtmlEditor::Private::keepCopySoon() {
    if (!copyTimer->isActive())
        copyTimer->start();
}

void HtmlEditor::Private::keepCopyNow() {
    copyTimer->stop();
    if (loading || needsSetup || restoring) {
        copyTimer->start(); // the document is being replaced: its copy comes with the load
        return;
    }
    // Asked without waiting: the answer comes before that of any later call, and only a copy of the
    // document still shown is kept.
    QPointer<Private> self(this);
    const quint64 load = serial;
    page->runJavaScript(EditorScript() + QStringLiteral("__velanto.copy()"),
                        QWebEngineScript::ApplicationWorld, [self, load](const QVariant& html) {
                            if (!self || self->serial != load || html.typeId() != QMetaType::QString)
                                return;
                            self->kept.bytes = html.toString().toUtf8();
                            self->kept.contentType = QByteArrayLiteral("text/html;charset=utf-8");
                        });
}

void HtmlEditor::Private::renderProcessEnded() {
    ++processEnds;
    emit progress(); // calls waiting for the process give up
    if (restoring)
        return; // the process ended again while the copy was being loaded: no endless restarts
    QTimer::singleShot(0, this, &Private::restore);
}

// Loads the kept copy into a new render process; the path and the modified mark stay as they were.
void HtmlEditor::Private::restore() {
    restoring = true;
    startLoad(kept.bytes, kept.contentType, kept.basePath);
    const bool back = waitReady();
    restoring = false;
    ShowMessage(q,
                back
                    ? QStringLiteral("The editor stopped unexpectedly and has been restarted.\nYour document "
                                     "was restored as the program last kept it; please check your latest "
                                     "changes.")
                    : QStringLiteral("The editor stopped unexpectedly and could not be restarted.\nPlease "
                                     "close Velanto and start it again."),
                QMessageBox::Warning);
}
