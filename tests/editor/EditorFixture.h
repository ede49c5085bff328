#pragma once
// Shared by the editor tests: one editor on a real web engine for each suite, files in a test folder,
// and ways to select text and answer the editor's dialogs.
#include "editor/EditorDialogs.h"
#include "editor/HtmlEditor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace editortest {

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Lets the engine work until the condition holds; false when it does not within the time.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// Answers the editor's dialogs while it lives.
class DialogAnswer {
public:
    explicit DialogAnswer(std::function<void(EditorDialogValues&)> fill) {
        SetEditorDialogHook([this, fill](EditorDialogKind kind, EditorDialogValues& values) {
            kinds.push_back(kind);
            fill(values);
            return true;
        });
    }
    ~DialogAnswer() { SetEditorDialogHook({}); }
    std::vector<EditorDialogKind> kinds;
};

class HtmlEditorTest : public ::testing::Test {
protected:
    // One engine start for the whole suite: every test begins with a document of its own.
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        editor = new HtmlEditor;
        editor->resize(640, 480);
    }
    static void TearDownTestSuite() {
        delete editor;
        delete folder;
        editor = nullptr;
        folder = nullptr;
    }

    static QString File(const QString& name) { return folder->filePath(name); }

    // Loads markup written to a file of the test folder.
    static void Load(const QByteArray& html, const QString& name = QStringLiteral("doc.htm")) {
        WriteAll(File(name), html);
        ASSERT_TRUE(editor->LoadDocument(File(name)));
    }

    static QString Body() {
        return editor->EvaluateScript(QStringLiteral("document.body.innerHTML")).toString();
    }

    // Selects characters [start, end) of the first text in the element with this id.
    static void Select(const char* id, int start, int end) {
        const QString script =
            QStringLiteral("(function(){const n=document.getElementById('%1').firstChild;"
                           "const r=document.createRange();r.setStart(n,%2);r.setEnd(n,%3);"
                           "const s=getSelection();s.removeAllRanges();s.addRange(r);return true;})()")
                .arg(QLatin1String(id))
                .arg(start)
                .arg(end);
        ASSERT_TRUE(editor->EvaluateScript(script).toBool());
    }

    static inline HtmlEditor* editor = nullptr;
    static inline QTemporaryDir* folder = nullptr;
};

} // namespace editortest
