#include "editor/EditorScript.h"

#include <QFile>

// The script is a resource of this static library: registered and read once, on the first call.
const QString& EditorScript() {
    static const QString script = [] {
        Q_INIT_RESOURCE(editorscript);
        QFile file(QStringLiteral(":/editor/EditorScript.js"));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll());
    }();
    return script;
}
