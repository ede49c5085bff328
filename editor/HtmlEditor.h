#pragma once
// The HTML editing control of the composer and the signature window: a design-mode web view behind a
// synchronous interface. Every call returns when the engine has done the work.
#include <QList>
#include <QMap>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

class HtmlDocument;
class QPrinter;

// Editing command numbers, as the command set and tool bar pass them.
namespace EditCommand {
enum : int {
    Bold = 5000,
    Copy = 5002,
    Cut = 5003,
    Delete = 5004,
    Find = 5008,
    Font = 5009,
    Hyperlink = 5016,
    Image = 5017,
    Indent = 5018,
    Italic = 5023,
    JustifyCenter = 5024,
    JustifyLeft = 5025,
    JustifyRight = 5026,
    OrderList = 5030,
    Outdent = 5031,
    Paste = 5032,
    Redo = 5033,
    RemoveFormat = 5034,
    SelectAll = 5035,
    Underline = 5048,
    Undo = 5049,
    Unlink = 5050,
    UnorderList = 5051,
};
} // namespace EditCommand

// Execution option of ExecCommand: 1 shows the command's dialog (font, hyperlink, picture, find). Those four
// commands have nothing to act on without their dialog, so they show it with either option.
namespace ExecOption {
enum : int { Default = 0, PromptUser = 1 };
}

class HtmlEditor : public QWidget {
    Q_OBJECT
public:
    explicit HtmlEditor(QWidget* parent = nullptr);
    ~HtmlEditor() override;

    // The file becomes the document; false when it cannot be read (the document is then unchanged).
    bool LoadDocument(const QString& path);
    // Writes the document as UTF-8 HTML (its charset declaration made to say so); false on failure.
    bool SaveDocument(const QString& path);
    // Writes the document to a file for the program's own use (the body of a send run or a preview): the
    // document keeps its path and its modified mark, since the user has not saved it.
    bool SaveCopy(const QString& path);
    void NewDocument();
    // A new untitled document with this content, unmodified: the starting text of a new message (the
    // signature). Content the user asked for (a template, an imported body) goes through SetDocumentHTML.
    void NewDocumentFrom(const QString& html);
    void ExecCommand(int command, int option = ExecOption::Default);
    // Prints on the current (default) printer; false when nothing could be printed.
    bool PrintDocument(qint32 flags = 0);
    bool IsDirty() const;
    QString CurrentDocumentPath() const;
    // The whole document: doctype (when it has one) and the html element's markup.
    QString DocumentHTML() const;
    // Replaces the document (any size); the path stays, and the new content counts as a change not saved.
    void SetDocumentHTML(const QString& html);
    // The same for HTML already in UTF-8: a large document is not converted on its way in. False when
    // the engine did not take it (within the load's time-out).
    bool SetDocumentHTMLUtf8(const QByteArray& html);
    // Each picture reference of the document (a src or background value) with the local file it names
    // now, "" for one that names no local file (a remote address, cid:, data:).
    QMap<QString, QString> PictureFiles() const;
    HtmlDocument& DOM();
    // Items of the next context menu: an empty caption is a separator; states: 0 enabled, else disabled.
    void SetContextMenu(const QStringList& captions, const QList<qint32>& states);
    // The two display options, both on until switched off (the composer switches both off). Details: dashed
    // outlines round paragraphs and divisions, and a mark at named anchors. Borders: dotted lines round the
    // cells of tables that have no border of their own. Neither is ever part of the document's markup.
    void SetDisplayOptions(bool showDetails, bool showBorders);

    // The printer PrintDocument prints on: the default printer until a print dialog or a test sets it up
    // (a test makes it a PDF file). One for the whole program, like the system's current printer.
    static QPrinter& CurrentPrinter();
    // Runs a script in the editor's own script world (never the page's) and returns its value; for tests
    // and tools that need to look at the document more closely than the members above.
    QVariant EvaluateScript(const QString& script);

signals:
    // The user asked for a context menu at this position (editor coordinates).
    void ShowContextMenu(const QPoint& position);
    // The user chose the context-menu item at this position (from 0).
    void ContextMenuAction(int index);
    // The document was changed by the user or by a command (IsDirty is now true).
    void DocumentChanged();

public:
    // The implementation; its helpers (page, view, document object) live beside it in the source.
    class Private;

private:
    Private* d;
};

// The document object: selection, body text, title and page colours.
class HtmlDocument {
public:
    virtual ~HtmlDocument() = default;
    // Inserts HTML in place of the selection, or at the caret (the end of the body when the editor
    // never had the focus).
    virtual void pasteHTML(const QString& html) = 0;
    virtual QString selectionText() const = 0;
    // The body's text with CR LF line ends.
    virtual QString bodyOuterText() const = 0;
    virtual QString title() const = 0;
    virtual void setTitle(const QString& title) = 0;
    // Page colours as "#RRGGBB" text (empty when the document sets none).
    virtual QString bgColor() const = 0;
    virtual void setBgColor(const QString& color) = 0;
    virtual QString fgColor() const = 0;
    virtual void setFgColor(const QString& color) = 0;
    virtual QString linkColor() const = 0;
    virtual void setLinkColor(const QString& color) = 0;
    virtual QString vlinkColor() const = 0;
    virtual void setVlinkColor(const QString& color) = 0;
    virtual QString alinkColor() const = 0;
    virtual void setAlinkColor(const QString& color) = 0;
};
