#pragma once
// Shared by the content dialog tests: one editor for the whole run, the one the dialogs work on, and a
// way to act on a modal dialog once its opener shows it.
#include "editor/HtmlEditor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace contenttest {

class ContentFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    static QString File(const QString& name) { return folder->filePath(name); }
    // Writes the markup to a file of the test folder and loads it (a clean document with that path).
    static void Load(const QByteArray& html, const QString& name = QStringLiteral("doc.htm"));
    static QVariant Eval(const QString& script) { return editor->EvaluateScript(script); }
    static QString Body() { return Eval(QStringLiteral("document.body.innerHTML")).toString(); }
    // Puts the caret into the text of the element with this id, after `offset` characters.
    static void Caret(const char* id, int offset);

    static inline HtmlEditor* editor = nullptr;
    static inline QTemporaryDir* folder = nullptr;
};

// Runs `act` on the modal dialog of type Form as soon as it is shown; a dialog still open afterwards is
// cancelled, so no test can hang on it. The returned flag tells whether the dialog was seen.
template <typename Form>
std::shared_ptr<bool> WhenShown(std::function<void(Form*)> act) {
    auto seen = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, seen, clock, act] {
        if (auto* form = qobject_cast<Form*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            *seen = true;
            QPointer<Form> alive(form);
            act(form);
            if (alive && alive->isVisible())
                alive->reject();
        } else if (clock->elapsed() > 15000) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
    return seen;
}

// Finds a child by object name; fails the test when there is none.
template <typename T>
T* Child(QObject* parent, const char* name) {
    T* c = parent->findChild<T*>(QLatin1String(name));
    EXPECT_NE(nullptr, c) << name;
    return c;
}

} // namespace contenttest
