#include "editor/HtmlEditor.h"

#include "editor/DocumentFiles.h"
#include "editor/EditorDialogs.h"
#include "editor/EditorScript.h"
#include "editor/HtmlText.h"
#include "ui/OutputFiles.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMimeDatabase>
#include <QPointer>
#include <QPrinter>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>
#include <memory>

using namespace htmltext;

namespace {

// Documents are handed to the engine through a scheme of ours: no size limit (unlike setHtml), our own
// choice of decoding, and relative references resolve against the document's folder on disk.
constexpr char DocumentScheme[] = "velanto-doc";
constexpr int CallTimeoutMs = 10000;
constexpr int LoadTimeoutMs = 30000;
constexpr char EditedMessage[] = "velanto-edited:";

const QString NewDocumentHtml =
    QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                   "charset=utf-8\"></head><body></body></html>");

// The scheme must be known before the application object exists, so it is registered while the
// program's static objects are made.
const bool SchemeRegistered = [] {
    QWebEngineUrlScheme scheme(DocumentScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
    return true;
}();

// Only local content: the editor never fetches anything from the network.
class LocalOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString scheme = info.requestUrl().scheme().toLower();
        static const QStringList allowed = {QStringLiteral("file"), QStringLiteral("data"),
                                            QStringLiteral("qrc"),  QStringLiteral("about"),
                                            QStringLiteral("blob"), QString::fromLatin1(DocumentScheme)};
        if (!allowed.contains(scheme))
            info.block(true);
    }
};

// Serves the document being loaded from memory, and the files it refers to from disk.
class DocumentSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    void setDocument(const QString& token, const QByteArray& bytes, const QByteArray& contentType) {
        m_token = token;
        m_bytes = bytes;
        m_contentType = contentType;
    }
    void release() {
        m_bytes.clear();
        m_token.clear();
    }

    void requestStarted(QWebEngineUrlRequestJob* job) override {
        const QUrl url = job->requestUrl();
        const QString token = QUrlQuery(url).queryItemValue(QStringLiteral("v"));
        if (!m_token.isEmpty() && token == m_token) {
            auto* buffer = new QBuffer(job);
            buffer->setData(m_bytes);
            job->reply(m_contentType, buffer);
            return;
        }
        const QString path = url.path();
        const QFileInfo info(path);
        if (!info.isFile()) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* file = new QFile(path, job);
        if (!file->open(QIODevice::ReadOnly)) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        job->reply(QMimeDatabase().mimeTypeForFile(info).name().toLatin1(), file);
    }

private:
    QString m_token;
    QByteArray m_bytes;
    QByteArray m_contentType;
};

} // namespace

class EditorDocument;

class HtmlEditor::Private : public QObject {
    Q_OBJECT
public:
    explicit Private(HtmlEditor* owner);
    ~Private() override;

    bool waitFor(const std::function<bool()>& done, int timeoutMs);
    bool waitReady();
    QVariant call(const QString& expression);
    void startLoad(const QByteArray& bytes, const QByteArray& contentType, const QString& basePath);
    bool loadBytes(const QByteArray& bytes, const QByteArray& contentType, const QString& basePath);
    bool writeTo(const QString& target);
    void markDirty();
    void markClean();
    void contextMenu(const QPoint& viewPosition);
    bool insertPicture(const QString& path, const QString& altText);
    bool findNext(const QString& text, bool matchCase);
    void fontDialog();
    void hyperlinkDialog();
    void pictureDialog();
    void findDialog();

    HtmlEditor* q;
    QWebEngineProfile* profile = nullptr;
    DocumentSchemeHandler* handler = nullptr;
    QWebEnginePage* page = nullptr;
    QWebEngineView* view = nullptr;
    std::unique_ptr<EditorDocument> document;
    QString path;
    bool dirty = false;
    int generation = 0;
    quint64 serial = 0;
    bool loading = false;
    bool loadOk = false;
    bool needsSetup = false;
    QUrl expectedUrl;
    bool showDetails = true;
    bool showBorders = true;
    QStringList menuCaptions;
    QList<qint32> menuStates;
    EditorDialogValues dialogValues;

signals:
    void progress();
};

namespace {

class EditorPage : public QWebEnginePage {
public:
    EditorPage(QWebEngineProfile* profile, HtmlEditor::Private* editor, QObject* parent)
        : QWebEnginePage(profile, parent), m_editor(editor) {}

protected:
    // The document reports the first user change of each clean state through the console of our world.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                  const QString&) override {
        if (message == QLatin1String(EditedMessage) + QString::number(m_editor->generation))
            m_editor->markDirty();
    }
    // Only the documents the editor itself loads are shown: no link, drop or refresh navigates away.
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        return !isMainFrame || url == m_editor->expectedUrl;
    }

private:
    HtmlEditor::Private* m_editor;
};

class EditorView : public QWebEngineView {
public:
    EditorView(HtmlEditor::Private* editor, QWidget* parent) : QWebEngineView(parent), m_editor(editor) {}

protected:
    void contextMenuEvent(QContextMenuEvent* event) override {
        event->accept();
        // The engine answers no call of ours while it is still delivering this event: the menu (and
        // the command the owner runs for the chosen item) comes once the event has been handed back.
        QTimer::singleShot(0, this,
                           [editor = m_editor, position = event->pos()] { editor->contextMenu(position); });
    }

private:
    HtmlEditor::Private* m_editor;
};

} // namespace

class EditorDocument : public HtmlDocument {
public:
    explicit EditorDocument(HtmlEditor::Private* editor) : d(editor) {}

    void pasteHTML(const QString& html) override {
        if (d->call(QStringLiteral("__velanto.pasteHTML(%1)").arg(JsString(html))).toBool())
            d->markDirty();
    }
    QString selectionText() const override {
        return d->call(QStringLiteral("__velanto.selectionText()")).toString();
    }
    QString bodyOuterText() const override {
        QString text = d->call(QStringLiteral("__velanto.bodyText()")).toString();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        return text;
    }
    QString title() const override { return d->call(QStringLiteral("__velanto.title()")).toString(); }
    void setTitle(const QString& title) override {
        if (d->call(QStringLiteral("__velanto.setTitle(%1)").arg(JsString(title))).toBool())
            d->markDirty();
    }
    QString bgColor() const override { return color("bgcolor"); }
    void setBgColor(const QString& value) override { setColor("bgcolor", value); }
    QString fgColor() const override { return color("text"); }
    void setFgColor(const QString& value) override { setColor("text", value); }
    QString linkColor() const override { return color("link"); }
    void setLinkColor(const QString& value) override { setColor("link", value); }
    QString vlinkColor() const override { return color("vlink"); }
    void setVlinkColor(const QString& value) override { setColor("vlink", value); }
    QString alinkColor() const override { return color("alink"); }
    void setAlinkColor(const QString& value) override { setColor("alink", value); }

private:
    QString color(const char* attribute) const {
        return NormalizeColor(
            d->call(QStringLiteral("__velanto.bodyAttribute('%1')").arg(QLatin1String(attribute)))
                .toString());
    }
    void setColor(const char* attribute, const QString& value) {
        const QString script = QStringLiteral("__velanto.setBodyAttribute('%1', %2)")
                                   .arg(QLatin1String(attribute), JsString(value.trimmed()));
        if (d->call(script).toBool())
            d->markDirty();
    }

    HtmlEditor::Private* d;
};

HtmlEditor::Private::Private(HtmlEditor* owner) : q(owner) {
    Q_UNUSED(SchemeRegistered);
    profile = new QWebEngineProfile(this); // no storage name: off the record, nothing kept on disk
    profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile->setSpellCheckEnabled(false);
    profile->setUrlRequestInterceptor(new LocalOnlyInterceptor(profile));
    handler = new DocumentSchemeHandler(profile);
    profile->installUrlSchemeHandler(DocumentScheme, handler);

    page = new EditorPage(profile, this, nullptr);
    QWebEngineSettings* settings = page->settings();
    // The page's own scripts never run; ours run in a separate script world, which this does not stop.
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // Our script world carries out Cut, Copy and Paste, whether or not the view has the focus.
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, true);
    settings->setAttribute(QWebEngineSettings::JavascriptCanPaste, true);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);

    view = new EditorView(this, q);
    view->setPage(page);
    auto* layout = new QVBoxLayout(q);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    q->setFocusProxy(view); // giving the editor the focus puts it into the document

    connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (!loading)
            return;
        loading = false;
        loadOk = ok;
        emit progress();
    });

    document = std::make_unique<EditorDocument>(this);
}

HtmlEditor::Private::~Private() {
    // The page goes before its profile; the profile takes its handler and interceptor with it.
    delete view;
    delete page;
    delete profile;
}

// Waits, in a local event loop that leaves user input queued, until done() holds or the time runs out.
bool HtmlEditor::Private::waitFor(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &Private::progress, &loop, &QEventLoop::quit);
    while (!done()) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        timer.start(int(left));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}

QVariant HtmlEditor::Private::call(const QString& expression) {
    if (!waitReady())
        return QVariant();
    struct Result {
        bool done = false;
        QVariant value;
    };
    auto result = std::make_shared<Result>();
    QPointer<Private> self(this);
    page->runJavaScript(QLatin1String(EditorScript) + expression, QWebEngineScript::ApplicationWorld,
                        [result, self](const QVariant& value) {
                            result->done = true;
                            result->value = value;
                            if (self)
                                emit self->progress();
                        });
    waitFor([&result] { return result->done; }, CallTimeoutMs);
    return result->value;
}

// Starts showing the bytes as the new document; the base path makes relative references find their files.
void HtmlEditor::Private::startLoad(const QByteArray& bytes, const QByteArray& contentType,
                                    const QString& basePath) {
    const QString token = QString::number(++serial);
    QUrl url;
    url.setScheme(QString::fromLatin1(DocumentScheme));
    url.setPath(basePath);
    url.setQuery(QStringLiteral("v=") + token);
    handler->setDocument(token, bytes, contentType);
    expectedUrl = url;
    loading = true;
    loadOk = false;
    needsSetup = true;
    page->load(url);
}

// Waits for the document being loaded, then puts it into design mode with a clean state.
bool HtmlEditor::Private::waitReady() {
    if (!waitFor([this] { return !loading; }, LoadTimeoutMs)) {
        loading = false;
        loadOk = false;
    }
    if (needsSetup) {
        needsSetup = false;
        handler->release();
        if (!loadOk)
            return false;
        ++generation;
        const QString setup = QStringLiteral("__velanto.setup(%1, %2, %3)")
                                  .arg(generation)
                                  .arg(showDetails ? QLatin1String("true") : QLatin1String("false"),
                                       showBorders ? QLatin1String("true") : QLatin1String("false"));
        loadOk = call(setup).toBool();
    }
    return loadOk;
}

// Writes the document over a file that is not locked (not even by root, whom the system lets write
// anything), its picture references made to work from where it is written.
bool HtmlEditor::Private::writeTo(const QString& target) {
    if (IsLockedFile(target))
        return false;
    const RelocatedReferences relocated =
        RelocateReferences(LocalReferences(call(QStringLiteral("__velanto.references()")).toMap(),
                                           QLatin1String(DocumentScheme)),
                           target);
    if (!relocated.ok)
        return false;
    const QVariant html = call(QStringLiteral("__velanto.serialize(true, JSON.parse(%1))")
                                   .arg(JsString(ChangesAsJson(relocated.values))));
    if (html.typeId() != QMetaType::QString)
        return false;
    return WriteFileAtomically(target, html.toString().toUtf8());
}

bool HtmlEditor::Private::loadBytes(const QByteArray& bytes, const QByteArray& contentType,
                                    const QString& basePath) {
    waitReady();
    startLoad(bytes, contentType, basePath);
    return waitReady();
}

void HtmlEditor::Private::markDirty() {
    if (dirty)
        return;
    dirty = true;
    emit q->DocumentChanged();
}

void HtmlEditor::Private::markClean() {
    dirty = false;
    ++generation;
    call(QStringLiteral("__velanto.clean(%1)").arg(generation));
}

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
    bool changed = false;
    if (!values.fontFace.isEmpty())
        changed |=
            call(QStringLiteral("__velanto.exec('fontName', %1)").arg(JsString(values.fontFace))).toBool();
    if (values.fontSize >= 1 && values.fontSize <= 7)
        changed |= call(QStringLiteral("__velanto.exec('fontSize', '%1')").arg(values.fontSize)).toBool();
    if (!values.fontColor.isEmpty())
        changed |=
            call(QStringLiteral("__velanto.exec('foreColor', %1)").arg(JsString(values.fontColor))).toBool();
    if (changed)
        markDirty();
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
        markDirty();
}

void HtmlEditor::Private::pictureDialog() {
    EditorDialogValues values = dialogValues;
    if (!AskEditorDialog(q, EditorDialogKind::Picture, values) || values.picturePath.isEmpty())
        return;
    dialogValues.picturePath = values.picturePath;
    if (insertPicture(values.picturePath, values.altText))
        markDirty();
}

void HtmlEditor::Private::findDialog() {
    EditorDialogValues values = dialogValues;
    AskEditorDialog(q, EditorDialogKind::Find, values,
                    [this](const QString& text, bool matchCase) { return findNext(text, matchCase); });
    dialogValues.findText = values.findText;
    dialogValues.matchCase = values.matchCase;
}

HtmlEditor::HtmlEditor(QWidget* parent) : QWidget(parent), d(new Private(this)) {
    // The first document loads in the background; the first call that needs it waits for it.
    d->startLoad(NewDocumentHtml.toUtf8(), "text/html;charset=utf-8", QStringLiteral("/"));
}

HtmlEditor::~HtmlEditor() {
    delete d;
}

bool HtmlEditor::LoadDocument(const QString& path) {
    QByteArray bytes;
    if (!ReadRegularFile(path, &bytes) || !IsText(bytes))
        return false;
    const QByteArray charset = ChooseCharset(bytes);
    const QByteArray contentType = charset.isEmpty() ? QByteArrayLiteral("text/html")
                                                     : QByteArrayLiteral("text/html;charset=") + charset;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!d->loadBytes(bytes, contentType, absolute))
        return false;
    d->path = absolute;
    d->markClean();
    return true;
}

bool HtmlEditor::SaveDocument(const QString& path) {
    if (!SaveCopy(path))
        return false;
    d->path = QFileInfo(path).absoluteFilePath();
    d->markClean();
    return true;
}

bool HtmlEditor::SaveCopy(const QString& path) {
    return d->writeTo(path);
}

void HtmlEditor::NewDocumentFrom(const QString& html) {
    if (d->loadBytes(html.toUtf8(), "text/html;charset=utf-8", QStringLiteral("/"))) {
        d->path.clear();
        d->markClean();
    }
}

void HtmlEditor::NewDocument() {
    if (d->loadBytes(NewDocumentHtml.toUtf8(), "text/html;charset=utf-8", QStringLiteral("/"))) {
        d->path.clear();
        d->markClean();
    }
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
            d->markDirty();
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

bool HtmlEditor::IsDirty() const {
    if (!d->dirty && d->call(QStringLiteral("__velanto.edited")).toBool())
        d->markDirty();
    return d->dirty;
}

QString HtmlEditor::CurrentDocumentPath() const {
    return d->path;
}

QString HtmlEditor::DocumentHTML() const {
    return d->call(QStringLiteral("__velanto.serialize(false)")).toString();
}

void HtmlEditor::SetDocumentHTML(const QString& html) {
    const QString base = d->path.isEmpty() ? QStringLiteral("/") : d->path;
    if (d->loadBytes(html.toUtf8(), "text/html;charset=utf-8", base))
        d->markDirty();
}

HtmlDocument& HtmlEditor::DOM() {
    return *d->document;
}

void HtmlEditor::SetContextMenu(const QStringList& captions, const QList<qint32>& states) {
    d->menuCaptions = captions;
    d->menuStates = states;
}

void HtmlEditor::SetDisplayOptions(bool showDetails, bool showBorders) {
    d->showDetails = showDetails;
    d->showBorders = showBorders;
    d->call(QStringLiteral("__velanto.display(%1, %2)")
                .arg(showDetails ? QLatin1String("true") : QLatin1String("false"),
                     showBorders ? QLatin1String("true") : QLatin1String("false")));
}

QVariant HtmlEditor::EvaluateScript(const QString& script) {
    return d->call(script);
}

#include "HtmlEditor.moc"
