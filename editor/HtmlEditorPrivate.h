#pragma once
// The editing control's implementation, shared by its source files: the page behind the synchronous
// calls, the loading of documents and the state of the document being edited.
#include "editor/EditorDialogs.h"
#include "editor/HtmlEditor.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <functional>
#include <memory>

class DocumentSchemeHandler;
class QTimer;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

// Time limits of the calls into the engine.
inline constexpr int CallTimeoutMs = 10000;
inline constexpr int LoadTimeoutMs = 30000;
// How long after a typed change the program takes its copy of the document: one copy per pause, not
// one per key.
inline constexpr int CopyDelayMs = 1000;

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
    // A change made by one of the control's own calls: marks the document and keeps a copy of it at once.
    void changed();
    void markClean();
    void keepCopySoon();
    void keepCopyNow();
    void renderProcessEnded();
    void restore();
    void contextMenu(const QPoint& viewPosition);
    bool insertPicture(const QString& path, const QString& altText);
    bool findNext(const QString& text, bool matchCase);
    bool printToPdfFile(const QPrinter& printer);
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
    // The document as the program last had it, loaded again when the render process ends: the bytes of
    // the last load, replaced by a copy of the markup taken after each change.
    struct KeptDocument {
        QByteArray bytes;
        QByteArray contentType;
        QString basePath;
    } kept;
    QTimer* copyTimer = nullptr;
    int processEnds = 0;
    bool restoring = false;

signals:
    void progress();
};
