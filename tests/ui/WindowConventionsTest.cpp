#include "ui/WindowConventions.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"
#include "ui/HelpViewer.h"
#include "ui/OutputFiles.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

HelpViewer* openViewer() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* v = qobject_cast<HelpViewer*>(w); v && v->isVisible())
            return v;
    return nullptr;
}

TEST(WindowConventions, DigitsOnlyBoxRefusesOtherTypedKeys) {
    QLineEdit box;
    MakeDigitsOnly(&box);
    QTest::keyClicks(&box, QStringLiteral("12a-3 4"));
    EXPECT_EQ(QStringLiteral("1234"), box.text());
    QTest::keyClick(&box, Qt::Key_Backspace);
    EXPECT_EQ(QStringLiteral("123"), box.text());
    QTest::keyClick(&box, Qt::Key_Left);
    QTest::keyClick(&box, Qt::Key_Delete);
    EXPECT_EQ(QStringLiteral("12"), box.text());

    // Select All works, so a new number replaces the old one instead of being appended to it (a port
    // of 25 must not become 25180 when 18025 is typed); pasting stays refused.
    box.setText(QStringLiteral("25"));
    QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(&box, QStringLiteral("18025"));
    EXPECT_EQ(QStringLiteral("18025"), box.text());
    QApplication::clipboard()->setText(QStringLiteral("x1"));
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(QStringLiteral("18025"), box.text());
}

// The box refuses typed characters, not the keys that move around the dialog: Tab leaves the box,
// Return presses the default button and Escape closes the dialog, as from any other box.
TEST(WindowConventions, DigitsOnlyBoxKeepsTheDialogKeys) {
    QDialog dialog;
    auto* digits = new QLineEdit(&dialog);
    auto* next = new QLineEdit(&dialog);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    int pressed = 0;
    QObject::connect(ok, &QPushButton::clicked, [&pressed] { ++pressed; });
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(digits);
    layout->addWidget(next);
    layout->addWidget(ok);
    MakeDigitsOnly(digits);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    digits->setFocus();
    QTest::keyClick(digits, Qt::Key_Tab);
    EXPECT_TRUE(next->hasFocus());
    QTest::keyClick(next, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(digits->hasFocus());

    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        const int before = pressed;
        QTest::keyClick(digits, key);
        EXPECT_EQ(before + 1, pressed) << key;
    }
    EXPECT_TRUE(digits->text().isEmpty());

    QTest::keyClick(digits, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(WindowConventions, HelpKeyWithAnyModifierOpensTheTopic) {
    QDialog dialog;
    SetUpDialog(&dialog, QStringLiteral("Group Manager"), QStringLiteral("Group Manager 1.htm"));
    EXPECT_EQ(WindowBackground, dialog.palette().color(QPalette::Window));
    auto* box = new QLineEdit(&dialog);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    box->setFocus();
    for (Qt::KeyboardModifiers m : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier),
                                    Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier)}) {
        if (auto* v = openViewer())
            v->close();
        QApplication::processEvents();
        QTest::keyClick(box, Qt::Key_F1, m);
        QApplication::processEvents();
        HelpViewer* viewer = openViewer();
        ASSERT_NE(nullptr, viewer) << int(m);
        EXPECT_EQ(QStringLiteral("Group Manager 1.htm"), viewer->currentPage());
        // The shipped page is found and shown, not the missing-page text.
        auto* browser = viewer->findChild<QTextBrowser*>(QStringLiteral("HelpBrowser"));
        EXPECT_FALSE(browser->toPlainText().contains(QStringLiteral("could not be found")));
    }
    openViewer()->close();
}

// The viewer has no buttons of its own: Escape is the keyboard's way out, as in every dialog.
TEST(WindowConventions, EscapeClosesTheHelpViewer) {
    HelpViewer viewer;
    viewer.showPage(QStringLiteral("No Such Page.htm"));
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    QTest::keyClick(viewer.findChild<QTextBrowser*>(), Qt::Key_Escape);
    EXPECT_FALSE(viewer.isVisible());
}

TEST(WindowConventions, MissingHelpPageIsReportedByTheViewer) {
    HelpViewer viewer;
    viewer.showPage(QStringLiteral("No Such Page.htm"));
    EXPECT_TRUE(
        viewer.findChild<QTextBrowser*>()->toPlainText().contains(QStringLiteral("could not be found")));
}

TEST(WindowConventions, RightClickHookSuppressesAndRestoresTheMenu) {
    QLineEdit box;
    HookRightClick(&box);
    EXPECT_EQ(Qt::NoContextMenu, box.contextMenuPolicy());
    UnhookRightClick(&box);
    EXPECT_EQ(Qt::DefaultContextMenu, box.contextMenuPolicy());
}

// Messages carry file names, group names and addresses the user chose; "<i>" or "&lt;" in one of them
// must show as typed, never as markup.
TEST(WindowConventions, MessageTextsShowAsTypedNeverAsMarkup) {
    for (const QString& text : {QStringLiteral("Are you sure you want to delete '/tmp/<i>report</i>.txt'?"),
                                QStringLiteral("Are you sure you want to delete '/tmp/a&lt;b.txt'?")}) {
        Qt::TextFormat format = Qt::AutoText;
        QString shown;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                format = box->textFormat();
                shown = box->text();
                box->done(QMessageBox::Ok);
            }
        });
        ShowMessage(nullptr, text, QMessageBox::Question);
        EXPECT_EQ(Qt::PlainText, format) << text.toStdString();
        EXPECT_EQ(text, shown);
    }
}

TEST(OutputFiles, LockedFileIsUnlockedOnlyOnYes) {
    const QString dir = testenv::FreshDataPath();
    const QString path = dir + QStringLiteral("out.txt");
    ASSERT_TRUE(WriteFileAtomically(path, "old"));
    QFile::setPermissions(path, QFile::ReadOwner);
    testenv::MessageBoxRecorder boxes;
    boxes.answer(QMessageBox::No);
    EXPECT_FALSE(ConfirmUnlockedOutput(nullptr, path));
    EXPECT_EQ(QStringLiteral("The output file is locked.\nWould you like to unlock it now?"), boxes.last());
    boxes.answer(QMessageBox::Yes);
    EXPECT_TRUE(ConfirmUnlockedOutput(nullptr, path));
    EXPECT_TRUE(QFile::permissions(path) & QFile::WriteOwner);
}

TEST(OutputFiles, AtomicWriteKeepsTheOldFileWhenTheFolderIsGone) {
    const QString dir = testenv::FreshDataPath();
    EXPECT_FALSE(WriteFileAtomically(dir + QStringLiteral("no/such/folder/x.txt"), "data"));
    const QString path = dir + QStringLiteral("private.txt");
    ASSERT_TRUE(WriteFileAtomically(path, "secret", true));
    EXPECT_EQ(QFile::ReadOwner | QFile::WriteOwner,
              QFile::permissions(path) &
                  (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));

    // A file readable by everyone is replaced by a private one, written in pieces; nothing is left beside it.
    const QString folder = dir + QStringLiteral("pieces/");
    QDir().mkpath(folder);
    ASSERT_TRUE(WriteFileAtomically(folder + QStringLiteral("list.txt"), "public"));
    QFile::setPermissions(folder + QStringLiteral("list.txt"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    ASSERT_TRUE(WriteFileAtomically(folder + QStringLiteral("list.txt"), {"sec", "", "ret"}, true));
    QFile written(folder + QStringLiteral("list.txt"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QByteArray("secret"), written.readAll());
    EXPECT_EQ(QFile::ReadOwner | QFile::WriteOwner,
              written.permissions() &
                  (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    EXPECT_FALSE(WriteFileAtomically(folder + QStringLiteral("gone/x.txt"), {"a", "b"}, true));
    EXPECT_EQ(QStringList({QStringLiteral("list.txt")}),
              QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot));
}

} // namespace
