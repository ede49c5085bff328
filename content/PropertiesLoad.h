#pragma once
// What the properties dialog shows about a document. Direction, language and encoding are not parsed
// from the markup: fixed tokens are looked for in the lower-cased text before the first "</head>", in
// the tables' order, the first row found winning.
#include <QString>

struct DocumentProperties {
    QString location;  // the file path, or "Unsaved"
    QString title;     // or "Not Available"
    QString direction; // "None", "Left to Right" or "Right to Left"
    QString language;  // a name of the language table, or "None"
    QString encoding;  // a name of the encoding table, or "None"
};

// The document text from its start up to and including the "<" of the first "</head>", lower-cased;
// empty when there is no "</head>".
QString HeadText(const QString& documentHtml);

QString PageDirection(const QString& headText);
QString PageLanguage(const QString& headText);
QString PageCharset(const QString& headText);

// The markup with every attribute value that needs no quotes written bare (content=en-us), as pages and
// editors have long written them and as the tokens above are spelled. The engine hands a document back
// with every value quoted, whatever its file had; comments and the text of scripts and styles stay as
// they are.
QString BareAttributeValues(const QString& markup);

DocumentProperties ReadDocumentProperties(const QString& path, const QString& title,
                                          const QString& documentHtml);
