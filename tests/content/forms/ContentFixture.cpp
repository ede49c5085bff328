#include "tests/content/forms/ContentFixture.h"

#include <QFile>

namespace contenttest {

void ContentFixture::SetUpTestSuite() {
    folder = new QTemporaryDir;
    editor = new HtmlEditor;
    editor->resize(640, 480);
}

void ContentFixture::TearDownTestSuite() {
    delete editor;
    delete folder;
    editor = nullptr;
    folder = nullptr;
}

void ContentFixture::SetUp() {
    editor->NewDocument();
}

void ContentFixture::Load(const QByteArray& html, const QString& name) {
    QFile file(File(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(html);
    file.close();
    ASSERT_TRUE(editor->LoadDocument(File(name)));
}

void ContentFixture::Caret(const char* id, int offset) {
    const QString script =
        QStringLiteral("(function(){const n=document.getElementById('%1').firstChild;"
                       "const r=document.createRange();r.setStart(n,%2);r.collapse(true);"
                       "const s=getSelection();s.removeAllRanges();s.addRange(r);return true;})()")
            .arg(QLatin1String(id))
            .arg(offset);
    ASSERT_TRUE(Eval(script).toBool());
}

} // namespace contenttest
