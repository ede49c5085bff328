#!/usr/bin/env python3
"""The structure check on small texts: what it must refuse and what it must let through."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "buildtools"))
import check_structure  # noqa: E402


# A function of body_lines + 3 lines: two of signature, the body, the closing brace.
def function(name, body_lines):
    return f"void {name}(int a,\n         int b) {{\n" + "    a += b;\n" * body_lines + "}\n"


class StructureRules(unittest.TestCase):
    def faults(self, rel, text):
        return check_structure.faults_in_file(rel, text)

    def test_refused(self):
        cases = {
            ("recipients/forms/HandBack.h", "inline bool RecipientAdded = false;\n"),
            ("content/forms/X.h", "inline QString TableHtml;\n"),
            ("content/forms/X.h", "extern std::vector<int> Rows;\n"),
            ("sending/forms/SendChecks.cpp", "    w = window->findChild<QWidget*>(name);\n"),
            ("sending/forms/X.cpp", "    parentWidget()->findChild<QLineEdit*>(QStringLiteral(\"Subject\"));\n"),
            ("tools/MessageFiles.cpp", "    case 206:\n"),
            ("sending/SendRun.cpp", "    case -1: return;\n"),
            ("a/Long.cpp", function("Long", 118)),
        }
        for rel, text in cases:
            with self.subTest(rel=rel, text=text[:40]):
                self.assertEqual(len(self.faults(rel, text)), 1, self.faults(rel, text))

    def test_let_through(self):
        cases = {
            ("content/forms/X.h", "inline constexpr int Rows = 5;\ninline const char* Name = \"x\";\n"),
            ("content/forms/X.h", "inline void ShowTable(QWidget* parent);\ninline QString Text() { return {}; }\n"),
            ("content/X.h", "inline bool Flag = false;\n"),  # logic headers are not windows
            ("ui/PrintDialog.cpp", "    dialog.findChild<QWidget*>(name);\n    findChild<QPushButton*>(n);\n"),
            ("tools/Other.cpp", "    case 206:\n"),
            ("tools/MessageFiles.cpp", "    case MessageFileResult::Printed:\n"),
            ("a/Short.cpp", function("Short", 117)),
            ("a/Table.cpp", "const Row Rows[] = {\n" + "    {1},\n" * 200 + "};\n"),
            ("a/Ns.cpp", "namespace {\n" + "int x;\n" * 200 + "}\n"),
        }
        for rel, text in cases:
            with self.subTest(rel=rel, text=text[:40]):
                self.assertEqual(self.faults(rel, text), [])


if __name__ == "__main__":
    unittest.main()
