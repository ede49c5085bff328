#pragma once
// Puts a stored message into the composer: subject, format, body (HTML through the editor's document
// loaded from the imported-body folder, or text turned into "<br>" lines) and attachments.
#include <QString>
#include <functional>

class Composer;

struct MessageImportOutcome {
    QString warning;   // the text that stopped the import, or ""
    bool done = false; // the composer was changed
};

// `mayReplace` is asked once the message has been read and before anything of the composer changes
// (the window asks to save a modified document there); false ends the import with the composer as it
// was, no warning and `done` false.
MessageImportOutcome ImportMessageIntoComposer(const QString& messageFile, Composer& composer,
                                               const std::function<bool()>& mayReplace = {});
