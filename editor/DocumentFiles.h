#pragma once
// The files behind a document: what may be read as one, and what its picture references must say
// once it is written somewhere else than where it was read from.
#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// Reads a regular file whole. Anything else (a pipe, a device, a folder) is refused at once, without
// ever being opened for reading: a pipe would block until someone writes into it.
bool ReadRegularFile(const QString& path, QByteArray* bytes);

// The folders the program clears on its own: the imported-body folder and the private temporary folder.
QStringList ProgramFolders();

struct RelocatedReferences {
    bool ok = true;                 // false: a picture that had to be kept could not be copied
    QHash<QString, QString> values; // attribute value -> the value to write instead
};

// A document is about to be written to `target`. `references` holds each picture reference it makes
// (the value of a src or background attribute) with the local file it resolves to now ("" for one that
// is not a local file). Pictures inside one of `programFolders` would vanish with them, so they are
// copied into "<name>_files/" beside the target and referenced there; a relative reference to any other
// file that would no longer find it from the target's folder is made absolute. Nothing is copied when
// the target itself lies in a program folder.
RelocatedReferences RelocateReferences(const QMap<QString, QString>& references, const QString& target,
                                       const QStringList& programFolders = ProgramFolders());

// The local file of each reference the editor found (attribute value -> the address the engine resolved
// it to): a file URL, or an address of the editor's own document scheme; "" for any other address.
QMap<QString, QString> LocalReferences(const QVariantMap& resolved, const QString& documentScheme);

// The new values as the editor's script reads them: one JSON object.
QString ChangesAsJson(const QHash<QString, QString>& values);
