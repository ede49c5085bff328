#pragma once
// Puts a stored message into the composer: subject, format, body (HTML through the editor's document
// loaded from the imported-body folder, or text turned into "<br>" lines) and attachments.
#include <QString>

class Composer;

struct MessageImportOutcome {
    QString warning;   // the text that stopped the import, or ""
    bool done = false; // the composer was changed
};

MessageImportOutcome ImportMessageIntoComposer(const QString& messageFile, Composer& composer);
