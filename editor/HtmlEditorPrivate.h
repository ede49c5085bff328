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
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

// Time limits of the calls into the engine.
inline constexpr int CallTimeoutMs = 10000;
inline constexpr int LoadTimeoutMs = 30000;

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
    void markDirty();
    void markClean();
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

signals:
    void progress();
};
