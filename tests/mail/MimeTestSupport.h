#pragma once
// Shared by the MIME tests: files in a private folder, and the two independent parsers that check what
// the composer writes (Python's email package and GMime).
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

namespace mimetest {

// A folder of files for one test.
class Folder {
public:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir dir_;
};

// Runs tests/mail/peers/parse_message.py on the bytes; an empty object when it fails.
QJsonObject PythonSummary(const QByteArray& message);

// The leaf parts of the Python summary, in order (containers: multiparts and attached messages, left out).
QList<QJsonObject> PythonLeaves(const QJsonObject& summary);

// Decoded bytes of a Python leaf.
QByteArray LeafBytes(const QJsonObject& leaf);

// GMime's view of the message: the decoded subject and the number of leaf parts; false when GMime
// cannot parse it.
bool GMimeParses(const QByteArray& message, QString* subject, int* leafCount);

// A small valid PNG image.
QByteArray TinyPng();

} // namespace mimetest
