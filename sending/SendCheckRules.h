#pragma once
// The rules the Send command checks the message and the account by, before the sending window opens.
#include <QMap>
#include <QString>
#include <QStringList>

// True when the subject starts like a reply or forward ("RE:", "FW:", "RE :", "FW :", any case).
bool IsReplyOrForwardSubject(const QString& subject);

// True when the body's text holds nothing but blanks and CR LF pairs (or nothing at all).
bool IsEmptyBodyText(const QString& text);

// True when the account's name, address, server and port are all stored.
bool AccountIsComplete();

// The local files among a document's pictures (reference -> file, as the editor resolves them) that a
// message cannot carry: missing, unreadable or not a picture. Each file once.
QStringList PicturesThatCannotBeRead(const QMap<QString, QString>& pictureFiles);

// The send checks' question and the preview's warning that name those files.
QString UnreadablePicturesQuestion(const QStringList& files);
QString UnreadablePicturesWarning(const QStringList& files);

// The send run's log line for the pictures left out of its messages.
QString LeftOutPicturesLogText(const QStringList& files);
