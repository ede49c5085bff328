#pragma once
#include "core/Database.h"
#include "core/Paths.h"
#include "core/RecipientFields.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A fresh database with groups, a scratch folder for import and export files, and readers for the rows.
class TransferFixture : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::FreshDataPath();
        ASSERT_TRUE(db.Open());
        ASSERT_TRUE(dir.isValid());
        QFile::remove(TempFolder() + QStringLiteral("ReportButton.txt"));
    }

    qint32 addGroup(const QString& name, const QString& sort = QString()) {
        EXPECT_EQ(1, db.ExecuteWrite(
                         QStringLiteral("INSERT INTO [Groups] ([GroupName], [SortSQL]) VALUES ('%1', '%2')")
                             .arg(name, SqlQuote(sort))));
        return GroupByName(db, name).id;
    }

    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }

    static QByteArray readFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Every row of a group in insertion order, as the 18 fields joined by "|".
    QStringList rowsOf(qint32 group) {
        QStringList out;
        for (Recordset rs = db.Execute(GroupRecipientsSql(group, QString())); !rs.Eof(); rs.MoveNext()) {
            QStringList fields;
            for (const auto& f : RecipientFields)
                fields << rs.Field(QLatin1String(f.column));
            out << fields.join(QLatin1Char('|'));
        }
        return out;
    }

    QStringList emailsOf(qint32 group) {
        QStringList out;
        for (Recordset rs = db.Execute(GroupRecipientsSql(group, QString())); !rs.Eof(); rs.MoveNext())
            out << rs.Field(QStringLiteral("G-Email"));
        return out;
    }

    static QString reportText() {
        return QString::fromUtf8(readFile(TempFolder() + QStringLiteral("ReportButton.txt")));
    }

    Connection db;
    QTemporaryDir dir;
};
