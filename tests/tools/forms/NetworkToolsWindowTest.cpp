// The network tools window: its boxes and tabs, and real lookups through the DNS component made by
// ProgID, against dnsmasq inside the test's network namespace.
#include "tests/dnsresolver/Harness.h"
#include "tests/dnsresolver/NetNamespace.h"
#include "tests/dnsresolver/Peers.h"
#include "tests/dnsresolver/ReplyBuilder.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestComposer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tools/ResolvConf.h"
#include "tools/NetworkTools.h"
#include "tools/forms/NetworkToolsForm.h"
#include "tools/forms/RegisterNetworkTools.h"
#include "ui/CommandWindows.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace nettools;
using toolstest::ResolvConf;

namespace {
template <typename T>
T* Find(QWidget& form, const char* name) {
    T* w = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

} // namespace

TEST(NetworkTools, TypedKeysAreFilteredPerBox) {
    ResolvConf conf("");
    NetworkToolsForm form;
    QTest::keyClicks(Find<QLineEdit>(form, "Input1TextBox"), "Mail-1.example_test!");
    EXPECT_EQ(Find<QLineEdit>(form, "Input1TextBox")->text(), "Mail-1.exampletest");
    QTest::keyClicks(Find<QLineEdit>(form, "Input2TextBox"), "12a.3-4 5");
    EXPECT_EQ(Find<QLineEdit>(form, "Input2TextBox")->text(), "12.345");
    QTest::keyClicks(Find<QComboBox>(form, "MXComboBox")->lineEdit(), "1x27.0.0.1,");
    EXPECT_EQ(Find<QComboBox>(form, "MXComboBox")->currentText(), "127.0.0.1");
    QTest::keyClicks(Find<QLineEdit>(form, "MXTextBox"), "ex ample.test");
    EXPECT_EQ(Find<QLineEdit>(form, "MXTextBox")->text(), "example.test");
    // Backspace still edits.
    QTest::keyClick(Find<QLineEdit>(form, "MXTextBox"), Qt::Key_Backspace);
    EXPECT_EQ(Find<QLineEdit>(form, "MXTextBox")->text(), "example.tes");

    // A keyboard's keys go to the widget that has the focus: for the server box, the combo box itself.
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    Find<QTabWidget>(form, "TabControl")->setCurrentIndex(2);
    Find<QComboBox>(form, "MXComboBox")->setFocus();
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClicks(QApplication::focusWidget(), "1a2.3-4 5,6");
    EXPECT_EQ(Find<QComboBox>(form, "MXComboBox")->currentText(), "12.3456");
    Find<QLineEdit>(form, "MXTextBox")->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), "a_b");
    EXPECT_EQ(Find<QLineEdit>(form, "MXTextBox")->text(), "ab");
}

TEST(NetworkTools, WindowLoadsTheServerListAndTabsStartAfresh) {
    ResolvConf conf("nameserver 127.0.0.1\nnameserver 10.9.8.7\n");
    NetworkToolsForm form;
    EXPECT_EQ(form.windowTitle(), "Network Tools");
    auto* tabs = Find<QTabWidget>(form, "TabControl");
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), "Domain to IP");
    EXPECT_EQ(tabs->tabText(1), "IP to Domain");
    EXPECT_EQ(tabs->tabText(2), "MX Lookup");
    auto* combo = Find<QComboBox>(form, "MXComboBox");
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1), "10.9.8.7");
    EXPECT_EQ(combo->currentText(), "");
    EXPECT_EQ(Find<QLineEdit>(form, "Input1TextBox")->contextMenuPolicy(), Qt::NoContextMenu);

    tabs->setCurrentIndex(2);
    EXPECT_TRUE(Find<QPushButton>(form, "MXButton")->isDefault());
    combo->setEditText("127.0.0.1");
    Find<QLineEdit>(form, "MXTextBox")->setText("example.test");
    Find<QPlainTextEdit>(form, "ReportTextBox")->setPlainText("old");
    tabs->setCurrentIndex(0);
    EXPECT_TRUE(Find<QPushButton>(form, "Convert1Button")->isDefault());
    EXPECT_FALSE(Find<QPushButton>(form, "MXButton")->isDefault());
    tabs->setCurrentIndex(2);
    EXPECT_EQ(combo->currentText(), "");
    EXPECT_EQ(Find<QLineEdit>(form, "MXTextBox")->text(), "");
    EXPECT_EQ(Find<QPlainTextEdit>(form, "ReportTextBox")->toPlainText(), "");
    EXPECT_EQ(combo->count(), 2);

    form.reject();
    EXPECT_EQ(Find<QLineEdit>(form, "Input1TextBox")->contextMenuPolicy(), Qt::DefaultContextMenu);
}

TEST(NetworkTools, EmptyInputsAreRefusedBeforeAnyObjectIsMade) {
    ResolvConf conf("");
    testenv::MessageBoxRecorder boxes;
    NetworkToolsForm form;
    Find<QLineEdit>(form, "Input1TextBox")->setText("   ");
    form.Convert1Button_Click();
    Find<QLineEdit>(form, "Input2TextBox")->setText("");
    form.Convert2Button_Click();
    Find<QComboBox>(form, "MXComboBox")->setEditText(" 1.2.3 ");
    form.MXButton_Click();
    Find<QComboBox>(form, "MXComboBox")->setEditText("127.0.0.1");
    Find<QLineEdit>(form, "MXTextBox")->setText("  abcde ");
    form.MXButton_Click();
    EXPECT_EQ(boxes.texts(), (QStringList{"Please enter your domain.", "Please enter your IP.",
                                          "Invalid IP address.", "Domain name must have the extension."}));
    EXPECT_EQ(Find<QLineEdit>(form, "Input1TextBox")->text(), "");
    EXPECT_EQ(Find<QComboBox>(form, "MXComboBox")->currentText(), "127.0.0.1");
    EXPECT_EQ(Find<QLineEdit>(form, "MXTextBox")->text(), "abcde");
    EXPECT_TRUE(Find<QLineEdit>(form, "Output1TextBox")->text().isEmpty());
}

TEST(NetworkTools, ConvertsThroughTheComponent) {
    REQUIRE_NET_NAMESPACE();
    dnstest::EnsureRegistered();
    ResolvConf conf("");
    testenv::MessageBoxRecorder boxes;
    NetworkToolsForm form;
    Find<QLineEdit>(form, "Input1TextBox")->setText(" localhost ");
    form.Convert1Button_Click();
    EXPECT_EQ(Find<QLineEdit>(form, "Input1TextBox")->text(), "localhost");
    EXPECT_EQ(Find<QLineEdit>(form, "Output1TextBox")->text(), "127.0.0.1");
    Find<QLineEdit>(form, "Input1TextBox")->setText("no-such-host.invalid");
    form.Convert1Button_Click();
    const QString error = Find<QLineEdit>(form, "Output1TextBox")->text();
    EXPECT_TRUE(error.startsWith("[ERROR] Could not Look up Host: Error# ")) << error.toStdString();
    EXPECT_TRUE(error.endsWith("\r\n")) << error.toStdString();
    Find<QLineEdit>(form, "Input2TextBox")->setText("127.0.0.1");
    form.Convert2Button_Click();
    EXPECT_EQ(Find<QLineEdit>(form, "Output2TextBox")->text(), "localhost");
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join('|').toStdString();
}

TEST(NetworkTools, MxLookupFillsTheReport) {
    REQUIRE_NET_NAMESPACE();
    dnstest::EnsureRegistered();
    dnstest::Dnsmasq dnsmasq;
    std::string error;
    std::vector<std::string> records = {"--mx-host=example.test,mail-b.example.test,20",
                                        "--mx-host=example.test,mail-a.example.test,10"};
    // More exchangers than dnsmasq puts into a datagram: the rest come over TCP.
    QString many;
    for (int i = 0; i < 40; ++i) {
        const QString host = QStringLiteral("mx%1.many.test").arg(i, 2, 10, QLatin1Char('0'));
        records.push_back(QStringLiteral("--mx-host=many.test,%1,%2").arg(host).arg(i).toStdString());
        many += host + QStringLiteral("\r\n");
    }
    ASSERT_TRUE(dnsmasq.Start(records, &error)) << error;
    ResolvConf conf("nameserver 127.0.0.1\n");
    testenv::MessageBoxRecorder boxes;
    NetworkToolsForm form;
    auto* combo = Find<QComboBox>(form, "MXComboBox");
    auto* domain = Find<QLineEdit>(form, "MXTextBox");
    auto* report = Find<QPlainTextEdit>(form, "ReportTextBox");
    struct Case {
        const char* server;
        const char* domain;
        QString report;
    } cases[] = {
        {"127.0.0.1", "example.test", "mail-a.example.test\r\nmail-b.example.test\r\n"},
        {"127.0.0.1", "many.test", many},
        {" 127.0.0.1 ", "unknown.test",
         "No mail server found. The DNS server did not answer or knows no MX "
         "record for this domain."},
        {"127.0.0.9", "example.test", "Bad DNS"},
    };
    for (const Case& c : cases) {
        report->setPlainText("previous");
        combo->setEditText(c.server);
        domain->setText(c.domain);
        form.MXButton_Click();
        // The report box keeps CR LF as typed text would; compare what it holds.
        EXPECT_EQ(report->toPlainText().replace("\n", "\r\n").replace("\r\r\n", "\r\n"), c.report)
            << c.server << " " << c.domain;
        EXPECT_TRUE(Find<QPushButton>(form, "MXButton")->isEnabled());
        EXPECT_TRUE(combo->isEnabled());
    }
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join('|').toStdString();
}

TEST(NetworkTools, AListReadOnlyInPartSaysSo) {
    REQUIRE_NET_NAMESPACE();
    dnstest::EnsureRegistered();
    // A reply with its truncation bit set, and nothing on TCP to ask again.
    dnstest::CannedResponder responder;
    ASSERT_TRUE(responder.Start([](const dnstest::Bytes& query) {
        using namespace dnstest;
        Bytes r = Reply(query, 1) + Record(Pointer(12), 15, Mx(5, Name("mx.test")));
        r[2] |= 0x02;
        return r;
    }));
    const DnsOutcome outcome = MxLookup(QStringLiteral("127.0.0.1"), QStringLiteral("example.test"));
    EXPECT_TRUE(outcome.failure.isEmpty()) << outcome.failure.toStdString();
    EXPECT_EQ(outcome.text, "mx.test\r\n" + IncompleteListText());
    EXPECT_EQ(responder.queries(), 1);
}

TEST(NetworkTools, MissingComponentIsReportedAndTheWindowStaysUsable) {
    ResolvConf conf("");
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    QTemporaryDir empty;
    qputenv("XDG_DATA_HOME", empty.path().toUtf8()); // no registration at all here
    testenv::MessageBoxRecorder boxes;
    {
        NetworkToolsForm form;
        // A result of an earlier command must not stand beside the new input as if it were its answer.
        Find<QLineEdit>(form, "Output1TextBox")->setText("127.0.0.1");
        Find<QLineEdit>(form, "Input1TextBox")->setText("localhost");
        form.Convert1Button_Click();
        EXPECT_TRUE(Find<QLineEdit>(form, "Output1TextBox")->text().isEmpty());
        Find<QComboBox>(form, "MXComboBox")->setEditText("127.0.0.1");
        Find<QLineEdit>(form, "MXTextBox")->setText("example.test");
        form.MXButton_Click();
        EXPECT_TRUE(Find<QPushButton>(form, "MXButton")->isEnabled());
        EXPECT_TRUE(Find<QPlainTextEdit>(form, "ReportTextBox")->toPlainText().isEmpty());
        EXPECT_TRUE(Find<QPushButton>(form, "Convert1Button")->isEnabled());
    }
    qputenv("XDG_DATA_HOME", saved);
    ASSERT_EQ(boxes.texts().size(), 2);
    for (const QString& text : boxes.texts())
        EXPECT_TRUE(text.startsWith("The DNS component (Kelvorin.DNS.1) could not be created"))
            << text.toStdString();
}

TEST(NetworkTools, CommandOpensTheWindowModally) {
    ResolvConf conf("");
    RegisterNetworkToolsWindow();
    ASSERT_TRUE(CommandWindows::IsRegistered(1128));
    QString seen;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            seen = dialog->objectName();
            dialog->findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
        }
    });
    testenv::TestComposer composer;
    EXPECT_TRUE(CommandWindows::Open(1128, nullptr, composer));
    EXPECT_EQ(seen, "NetworkToolsForm");
}
