// An address with an apostrophe, as many Irish and French names have, taken through everything that
// stores, finds, moves or mails an address: every statement that carries it must stay intact, and it
// must arrive as written.
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "mail/Smtp.h"
#include "recipients/RecipientStore.h"
#include "sending/HistoryStore.h"
#include "tests/sending/SendingFixture.h"
#include "tools/SupportRequest.h"
#include "tools/SystemFacts.h"
#include "transfer/RecipientExporter.h"
#include "transfer/RecipientImporter.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace {

const QString kAddress = QStringLiteral("o'brien@example.ie");

RecipientValues Recipient(const QString& email, const QString& first, const QString& last) {
    RecipientValues values;
    values[0] = email;
    values[2] = first;
    values[3] = last;
    return values;
}

QStringList SearchFor(const QString& compare, const QString& term) {
    QStringList hits;
    SearchRecipients(QStringLiteral("Friends"), QStringLiteral("Email"), compare, term,
                     [&hits](QByteArrayView, QByteArrayView last, QByteArrayView email) {
                         hits << QString::fromUtf8(email) + QLatin1Char('/') + QString::fromUtf8(last);
                     });
    return hits;
}

QStringList EmailsOf(const QString& group) {
    QStringList emails;
    GroupLoader loader;
    if (loader.Start(group)) {
        loader.Read(1000, [&emails](QByteArrayView, QByteArrayView, QByteArrayView email) {
            emails << QString::fromUtf8(email);
        });
        loader.Finish();
    }
    return emails;
}

TEST(ApostropheAddress, IsStoredFoundMovedAndMailedIntact) {
    sendingtest::MakeGroup(0);
    sendingtest::SmtpPeer peer;
    ASSERT_NE(0, peer.port());
    sendingtest::StoreAccount(peer.port());
    SaveSetting(Sections::Account, Keys::Email, kAddress);

    // Add, and the duplicate test of a second add.
    ASSERT_EQ(StoreResult::Done,
              AddRecipient(QStringLiteral("Friends"), Recipient(kAddress, "Aoife", "O'Brien")));
    EXPECT_EQ(StoreResult::Duplicate,
              AddRecipient(QStringLiteral("Friends"), Recipient(kAddress, "Other", "Person")));
    ASSERT_EQ(StoreResult::Done,
              AddRecipient(QStringLiteral("Friends"),
                           Recipient(QStringLiteral("d'arcy@example.fr"), "Luc", "D'Arcy")));

    // Modify: found by its address, written back, and refused as a duplicate of the other one.
    StoredRecipient stored = ReadRecipient(QStringLiteral("Friends"), kAddress);
    ASSERT_GT(stored.recordId, 0);
    EXPECT_EQ(QStringLiteral("O'Brien"), stored.values[3]);
    stored.values[2] = QStringLiteral("Siobhán");
    EXPECT_EQ(StoreResult::Done, ModifyRecipient(stored.groupId, stored.recordId, stored.values));
    RecipientValues clash = stored.values;
    clash[0] = QStringLiteral("d'arcy@example.fr");
    EXPECT_EQ(StoreResult::Duplicate, ModifyRecipient(stored.groupId, stored.recordId, clash));
    EXPECT_EQ(QStringLiteral("Siobhán"), ReadRecipient(QStringLiteral("Friends"), kAddress).values[2]);

    // Search: each comparison finds it by a term that holds the apostrophe.
    EXPECT_EQ(QStringList({kAddress + QStringLiteral("/O'Brien")}),
              SearchFor(QStringLiteral("Equals"), kAddress));
    EXPECT_EQ(QStringList({kAddress + QStringLiteral("/O'Brien")}),
              SearchFor(QStringLiteral("Starts with"), QStringLiteral("o'b")));
    EXPECT_EQ(2, SearchFor(QStringLiteral("Contains"), QStringLiteral("'")).size());

    // Export, then both kinds of import into a second group.
    const QString file = TempFolder() + QStringLiteral("friends.txt");
    ExportOptions out;
    out.groupName = QStringLiteral("Friends");
    out.outputPath = file;
    out.mode = ExportMode::Fields;
    out.delimiter = QLatin1Char(',');
    out.columns = {QStringLiteral("G-Email"), QStringLiteral("G-LastName")};
    ASSERT_EQ(2, RecipientExporter(out).Run().count);
    EXPECT_EQ(QByteArray("o'brien@example.ie,O'Brien\r\nd'arcy@example.fr,D'Arcy\r\n"),
              sendingtest::ReadAll(file));
    ASSERT_EQ(StoreResult::Done, CreateGroup(QStringLiteral("Copy")));
    ImportOptions in;
    in.filePath = file;
    in.groupName = QStringLiteral("Copy");
    in.mode = ImportMode::Fields;
    in.delimiter = QLatin1Char(',');
    in.mapping[0] = 1;
    in.mapping[3] = 2;
    EXPECT_EQ(2, RecipientImporter(in).Run().added);
    in.mode = ImportMode::EmailOnly;
    const ImportResult again = RecipientImporter(in).Run();
    EXPECT_EQ(2, again.duplicates) << "the duplicate test finds both";
    EXPECT_EQ(0, again.ignored);
    EXPECT_EQ(QStringList({kAddress, QStringLiteral("d'arcy@example.fr")}), EmailsOf(QStringLiteral("Copy")));
    EXPECT_EQ(QStringLiteral("O'Brien"), ReadRecipient(QStringLiteral("Copy"), kAddress).values[3]);

    // The send run mails each from and to the address as written; the history keeps the first message.
    SaveSetting(Sections::Account, Keys::ToField, QStringLiteral("Last Name"));
    SendRun run;
    EXPECT_EQ(SendRun::End::Normal, run.run(sendingtest::HtmlInput(), PartialRange{}));
    ASSERT_EQ(2, peer.messageCount());
    EXPECT_EQ(kAddress, peer.envelope(0).value(QStringLiteral("from")).toString());
    EXPECT_EQ(QJsonArray({kAddress}), peer.envelope(0).value(QStringLiteral("to")).toArray());
    EXPECT_EQ(QJsonArray({QStringLiteral("d'arcy@example.fr")}),
              peer.envelope(1).value(QStringLiteral("to")).toArray());
    EXPECT_TRUE(peer.message(0).contains("mail for o'brien@example.ie")) << peer.message(0).constData();
    EXPECT_EQ(1, ListHistoryLogs().size());
    const QByteArray history = sendingtest::ReadAll(run.historyBase() + QStringLiteral(".eml"));
    EXPECT_TRUE(history.contains("O'Brien <o'brien@example.ie>")) << history.constData();
    EXPECT_TRUE(history.contains("mail for o'brien@example.ie"));

    // The support request goes out from the account's address, with a copy to it.
    qputenv("VELANTO_TEST_SUPPORT_ADDRESS", "help@maker.test");
    SupportRequest request;
    request.topic = QStringLiteral("Bug Report");
    request.description = QStringLiteral("Mail to o'brien@example.ie");
    request.sendCopy = true;
    request.priority = MessagePriority::Normal;
    mail::Smtp smtp;
    EXPECT_EQ(0, SendSupportRequest(smtp, request, SystemFacts(), ProgramFolder()));
    qunsetenv("VELANTO_TEST_SUPPORT_ADDRESS");
    ASSERT_EQ(3, peer.messageCount());
    EXPECT_EQ(kAddress, peer.envelope(2).value(QStringLiteral("from")).toString());
    EXPECT_TRUE(peer.envelope(2).value(QStringLiteral("to")).toArray().contains(kAddress));

    // The Group Manager's delete of the one recipient, then of a whole group.
    EXPECT_EQ(StoreResult::Done, DeleteRecipient(QStringLiteral("Friends"), kAddress));
    EXPECT_EQ(QStringList({QStringLiteral("d'arcy@example.fr")}), EmailsOf(QStringLiteral("Friends")));
    EXPECT_EQ(StoreResult::Done, DeleteGroup(QStringLiteral("Copy")));
    EXPECT_EQ(0, ReadRecipient(QStringLiteral("Copy"), kAddress).recordId);
}

} // namespace
