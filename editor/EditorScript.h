#pragma once
// The script the editor runs in its own script world (EditorScript.js): design mode, change tracking,
// and the document operations of the editing control. Every call starts with it; it defines itself once
// per document.
#include <QString>

const QString& EditorScript();
