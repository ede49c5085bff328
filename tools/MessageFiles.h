#pragma once
// What the message-file windows (print, import, extract) share: the texts of the results that stop
// them, the import flags from the account setting, the work folder the parser writes into, and how a
// part named by a message is saved into a folder of the user's (or ours) without ever leaving it or
// replacing a file that is already there.
#include "mail/Message.h"
#include "mail/UniqueNames.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace mail {
class BodyPart;
}

// The warning of an ImportMessageFile result that has a text of its own, or "" for one without.
QString MessageFileErrorText(mail::MessageFileResult result);
// The warning for a result that stops the operation ("" for MessageOk): its own text, or the text of
// MessageException for a failure without one.
QString MessageFileFailureText(mail::MessageFileResult result);

// 2 (a work folder is set) plus 8 when Account/Extended is exactly "1"; print passes no work folder.
qint32 MessageImportFlags(bool withWorkFolder);

// Body part from the four format radio buttons (TEXT 0, HTML 1, RTF 2, XML 3; 0 when none is chosen).
qint32 BodyPartFromChoice(bool html, bool rtf, bool xml);

// "mm-dd-yyyy_hh-mm-ss" of the time: the name of a work folder.
QString WorkFolderName(const QDateTime& when);

// The work folder for now inside the private temporary folder, created when missing. The work folders
// of earlier runs are removed first, so they do not pile up; "" when it could not be created.
QString MakeWorkFolder(const QDateTime& when = QDateTime::currentDateTime());

// The names in one folder, read once, and the names given out since: a free name for each of many
// parts in constant time. A name is free when no file, folder or link of the folder has it.
class FolderNames {
public:
    explicit FolderNames(const QString& folder);
    const QString& Folder() const { return folder_; }
    // A file name for the name a message gives a part: its last component made safe (no folder parts,
    // control characters, NUL or leading dots), at most 255 bytes of UTF-8, and free ("name (2).ext"
    // ...); fallback is used when nothing of the name is left. Taken from then on.
    QString Claim(const QString& partName, const QString& fallback);

private:
    QString folder_;
    mail::UniqueNames names_{Qt::CaseSensitive};
};

// A free file name in folder for the name a message gives a part (see FolderNames::Claim).
QString FreeFileNameIn(const QString& folder, const QString& partName, const QString& fallback);

// True when path names a file directly inside folder (both resolved, links included).
bool IsDirectlyInside(const QString& folder, const QString& path);

// Makes the folder and those above it that are missing, each the user's only (0700) whatever the
// umask: they are to hold the user's mail. Folders that exist stay as they are. False when it is not a
// folder at the end.
bool MakeFolderPath(const QString& folder);

// Saves a part into a new file of the folder under a free name; when the file system refuses that
// name, under the fallback name instead; the file and the folder when it is made are the user's only.
// Nothing is flushed to disk file by file (see SyncFileSystemOf). Returns the path written, or "" when the
// part could not be saved at all.
QString SavePartInto(FolderNames& names, const mail::BodyPart& part, int index);

// Copies every file and folder inside source into destination (created when missing). With overwrite,
// files of the same names are replaced; without, an entry whose name is taken gets a free one
// ("Body1 (2)"). Links are neither copied nor written through. The copies and the folders made are the
// user's only. Nothing is flushed to disk file by file (see SyncFileSystemOf). False when something was
// not copied.
bool CopyFolderContents(const QString& source, const QString& destination, bool overwrite = true);

// Copies a body folder into destination under its own name: into the folder of that name left by an
// earlier copy, or under a free name when something else has it (an attachment named "Body1"). The
// path of the copy once it is on disk, or "" when it could not be made completely.
QString CopyBodyFolderInto(const QString& bodyFolder, const QString& destination);

// Waits until what was written to the file system that holds folder is on disk: once after many new
// files instead of once per file. False when that failed.
bool SyncFileSystemOf(const QString& folder);

// What the user is told about outputs that could not be written.
QString NotWrittenText(const QStringList& paths);
