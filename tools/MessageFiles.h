#pragma once
// What the message-file windows (print, import, extract) share: the texts of the results that stop
// them, the import flags from the account setting, the work folder the parser writes into, and how a
// part named by a message is saved into a folder of the user's (or ours) without ever leaving it or
// replacing a file that is already there.
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace mail {
class BodyPart;
}

// The warning for an ImportMessageFile result that stops the operation, or "" for a result that lets
// it go on.
QString MessageFileErrorText(qint32 result);

// 2 (a work folder is set) plus 8 when Account/Extended is exactly "1"; print passes no work folder.
qint32 MessageImportFlags(bool withWorkFolder);

// Body part from the four format radio buttons (TEXT 0, HTML 1, RTF 2, XML 3; 0 when none is chosen).
qint32 BodyPartFromChoice(bool html, bool rtf, bool xml);

// "mm-dd-yyyy_hh-mm-ss" of the time: the name of a work folder.
QString WorkFolderName(const QDateTime& when);

// The work folder for now inside the private temporary folder, created when missing. The work folders
// of earlier runs are removed first, so they do not pile up; "" when it could not be created.
QString MakeWorkFolder(const QDateTime& when = QDateTime::currentDateTime());

// A file name in folder for the name a message gives a part: its last component made safe (no
// folder parts, control characters, NUL or leading dots), at most 255 bytes of UTF-8, and a name no
// existing file has there ("name (2).ext" ...). fallback is used when nothing of the name is left.
QString FreeFileNameIn(const QString& folder, const QString& partName, const QString& fallback);

// True when path names a file directly inside folder (both resolved, links included).
bool IsDirectlyInside(const QString& folder, const QString& path);

// Saves a part into folder under a free name (see FreeFileNameIn); when the file system refuses that
// name, the part is saved under the fallback name instead. Returns the path written, or "" when the
// part could not be saved at all.
QString SavePartInto(const QString& folder, const mail::BodyPart& part, int index);

// Copies every file and folder inside source into destination (created when missing). With overwrite,
// files of the same names are replaced; without, an entry whose name is taken gets a free one
// ("Body1 (2)"). Links are neither copied nor written through. False when something was not copied.
bool CopyFolderContents(const QString& source, const QString& destination, bool overwrite = true);
