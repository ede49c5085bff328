#pragma once
// A small set of .eml files the tests write themselves, each with what a reader must find in it.
#include <QByteArray>
#include <QList>
#include <QString>

namespace corpus {

struct Attachment {
    QString name; // the name the file gets when saved into an empty folder
    QByteArray bytes;
};

struct Eml {
    const char* label;
    QByteArray bytes;
    QString subject;
    QString bodyText; // a piece of the text body
    bool hasHtml = false;
    QList<Attachment> attachments; // kind "attachment", in order
};

// multipart/alternative with related images; RFC 2231 and encoded-word names; a nested message;
// quoted-printable and base64 bodies in three charsets.
QList<Eml> Messages();

// A message whose parts are named "../../x", "/etc/x", "..", "a<TAB>b<NUL>c" and twice "same.txt".
QByteArray HostileNames();

// A small PNG picture.
QByteArray Png();

} // namespace corpus
