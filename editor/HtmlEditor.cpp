#include "editor/HtmlEditor.h"

#include "editor/DocumentFiles.h"
#include "editor/EditorScript.h"
#include "editor/HtmlEditorPrivate.h"
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
constexpr char EditedMessage[] = "velanto-edited:";
constexpr char ChangedMessage[] = "velanto-changed";

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

} // namespace

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
        else if (message == QLatin1String(ChangedMessage))
            m_editor->keepCopySoon();
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
            d->changed();
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
            d->changed();
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
            d->changed();
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

    copyTimer = new QTimer(this);
    copyTimer->setSingleShot(true);
    copyTimer->setInterval(CopyDelayMs);
    connect(copyTimer, &QTimer::timeout, this, &Private::keepCopyNow);
    connect(page, &QWebEnginePage::renderProcessTerminated, this, &Private::renderProcessEnded);
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
    disconnect(page, nullptr, this, nullptr); // a render process ended by the page's deletion is no loss
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
    const int ends = processEnds;
    page->runJavaScript(EditorScript() + expression, QWebEngineScript::ApplicationWorld,
                        [result, self](const QVariant& value) {
                            result->done = true;
                            result->value = value;
                            if (self)
                                emit self->progress();
                        });
    // A render process that ends answers nothing: the call gives up at once.
    waitFor([&result, &ends, this] { return result->done || processEnds != ends; }, CallTimeoutMs);
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
    if (!waitReady())
        return false;
    kept = {bytes, contentType, basePath};
    return true;
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

HtmlEditor::HtmlEditor(QWidget* parent) : QWidget(parent), d(new Private(this)) {
    // The first document loads in the background; the first call that needs it waits for it.
    d->kept = {NewDocumentHtml.toUtf8(), "text/html;charset=utf-8", QStringLiteral("/")};
    d->startLoad(d->kept.bytes, d->kept.contentType, d->kept.basePath);
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

bool HtmlEditor::IsDirty() const {
    if (!d->dirty && d->call(QStringLiteral("__velanto.edited")).toBool())
        d->markDirty();
    return d->dirty;
}

QString HtmlEditor::CurrentDocumentPath() const {
    return d->path;
}

QMap<QString, QString> HtmlEditor::PictureFiles() const {
    return LocalReferences(d->call(QStringLiteral("__velanto.references()")).toMap(),
                           QLatin1String(DocumentScheme));
}

QString HtmlEditor::DocumentHTML() const {
    return d->call(QStringLiteral("__velanto.serialize(false)")).toString();
}

void HtmlEditor::SetDocumentHTML(const QString& html) {
    SetDocumentHTMLUtf8(html.toUtf8());
}

bool HtmlEditor::SetDocumentHTMLUtf8(const QByteArray& html) {
    const QString base = d->path.isEmpty() ? QStringLiteral("/") : d->path;
    if (!d->loadBytes(html, "text/html;charset=utf-8", base))
        return false;
    d->markDirty();
    return true;
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
