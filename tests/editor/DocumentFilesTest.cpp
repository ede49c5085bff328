// What a document's picture references become when it is written somewhere else, without the engine.
#include "editor/DocumentFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

class DocumentFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        for (const char* name :
             {"program/import/a", "program/import/b", "program/temp", "user/pictures", "out"})
            ASSERT_TRUE(QDir().mkpath(path(name)));
        programFolders = {path("program/import"), path("program/temp") + QLatin1Char('/')};
    }

    QString path(const char* name) const { return root.filePath(QLatin1String(name)); }
    QString write(const char* name, const QByteArray& bytes) const {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path(name);
    }
    static QByteArray read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir root;
    QStringList programFolders;
};

TEST_F(DocumentFilesTest, PicturesOfTheProgramsFoldersAreCopiedBesideTheTargetAndTheUsersOwnStay) {
    const QString logo = write("program/import/a/logo.png", "first logo");
    const QString other = write("program/import/b/logo.png", "second logo");
    const QString temp = write("program/temp/shot 1.png", "temporary");
    const QString own = write("user/pictures/own.png", "mine");
    const QString ownUrl = QUrl::fromLocalFile(own).toString(QUrl::FullyEncoded);
    const QMap<QString, QString> references{
        {QStringLiteral("logo.png"), logo},
        {QStringLiteral("./logo.png"), logo}, // the same file twice: one copy
        {QStringLiteral("../b/logo.png"), other},
        {QUrl::fromLocalFile(temp).toString(), temp},
        {ownUrl, own},
        {QStringLiteral("pictures/own.png"), own},                    // relative, from the user folder
        {QStringLiteral("http://example.com/remote.png"), QString()}, // not a local file
        {QStringLiteral("program/import/a/missing.png"), path("program/import/a/missing.png")},
    };
    const RelocatedReferences r = RelocateReferences(references, path("out/Letter.v2.htm"), programFolders);
    ASSERT_TRUE(r.ok);

    // Each value now names its copy, relative to the target's folder.
    const auto copied = [&](const QString& value) {
        const QString now = r.values.value(value);
        EXPECT_TRUE(now.startsWith(QLatin1String("Letter.v2_files/"))) << now.toStdString();
        return read(path("out") + QLatin1Char('/') + QUrl::fromPercentEncoding(now.toUtf8()));
    };
    EXPECT_EQ(copied(QStringLiteral("logo.png")), QByteArray("first logo"));
    EXPECT_EQ(r.values.value(QStringLiteral("./logo.png")), r.values.value(QStringLiteral("logo.png")));
    EXPECT_EQ(copied(QStringLiteral("../b/logo.png")), QByteArray("second logo"));
    EXPECT_EQ(r.values.value(QUrl::fromLocalFile(temp).toString()),
              QStringLiteral("Letter.v2_files/shot%201.png"));
    EXPECT_EQ(copied(QUrl::fromLocalFile(temp).toString()), QByteArray("temporary"));
    EXPECT_EQ(QDir(path("out/Letter.v2_files")).entryList(QDir::Files).size(), 3);

    // The user's own picture is referenced where it is: an absolute address stays, a relative one that
    // would miss it from the new folder becomes absolute.
    EXPECT_FALSE(r.values.contains(ownUrl));
    EXPECT_EQ(r.values.value(QStringLiteral("pictures/own.png")), ownUrl);
    EXPECT_FALSE(r.values.contains(QStringLiteral("http://example.com/remote.png")));
    EXPECT_FALSE(QFileInfo::exists(path("out/Letter.v2_files/missing.png")));
}

TEST_F(DocumentFilesTest, NothingIsCopiedForACopyInsideTheProgramsFoldersOrAReferenceThatStillWorks) {
    const QString logo = write("program/import/a/logo.png", "logo");
    const QString own = write("out/own.png", "mine");
    const QMap<QString, QString> references{{QStringLiteral("logo.png"), logo},
                                            {QStringLiteral("own.png"), own}};

    // The preview's body file in the temporary folder: the picture is referenced where it is.
    RelocatedReferences r = RelocateReferences(references, path("program/temp/Preview.htm"), programFolders);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.values.value(QStringLiteral("logo.png")),
              QUrl::fromLocalFile(logo).toString(QUrl::FullyEncoded));
    EXPECT_TRUE(QDir(path("program/temp")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());

    // Written over its own file: the picture beside it is referenced as before.
    r = RelocateReferences(references, path("program/import/a/index.htm"), programFolders);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.values.contains(QStringLiteral("logo.png")));
    EXPECT_FALSE(RelocateReferences(references, path("out/doc.htm"), programFolders)
                     .values.contains(QStringLiteral("own.png")));
}

TEST_F(DocumentFilesTest, ACopyThatCannotBeMadeFailsTheSaveAndNoFileOfTheUsersIsOverwritten) {
    const QString logo = write("program/import/a/logo.png", "logo");
    // A file of the user's own, referenced by the document, under the name the copy would take.
    ASSERT_TRUE(QDir().mkpath(path("out/doc_files")));
    const QString mine = write("out/doc_files/logo.png", "user's");
    QMap<QString, QString> references{{QStringLiteral("logo.png"), logo},
                                      {QStringLiteral("doc_files/logo.png"), mine}};
    RelocatedReferences r = RelocateReferences(references, path("out/doc.htm"), programFolders);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.values.value(QStringLiteral("logo.png")), QStringLiteral("doc_files/logo-2.png"));
    EXPECT_EQ(read(mine), QByteArray("user's"));

    // The folder for the copies is taken by a file.
    write("out/blocked_files", "in the way");
    references.remove(QStringLiteral("doc_files/logo.png"));
    r = RelocateReferences(references, path("out/blocked.htm"), programFolders);
    EXPECT_FALSE(r.ok);
}

} // namespace
