#!/usr/bin/env python3
"""The layout check on small trees made here: what it must refuse and what it must let through."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "buildtools"))
import check_layout  # noqa: E402


class LayoutRules(unittest.TestCase):
    def faults(self, files):
        with tempfile.TemporaryDirectory() as root:
            for path, includes in files.items():
                os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
                with open(os.path.join(root, path), "w", encoding="utf-8") as out:
                    out.writelines(f'#include "{header}"\n' for header in includes)
            return check_layout.faults_in(root)

    def test_logic_reaches_no_window_library(self):
        for header in ("ui/MessageBoxes.h", "editor/HtmlEditor.h", "mail/print/MessagePrinter.h",
                       "sending/forms/SendMailForm1.h", "recipients/forms/RecipientForms.h"):
            with self.subTest(header=header):
                self.assertEqual(len(self.faults({"sending/SendRun.cpp": [header]})), 1)

    def test_logic_uses_lower_logic_and_windows_use_everything_below(self):
        self.assertEqual(self.faults({
            "sending/SendRun.cpp": ["core/Database.h", "mail/Smtp.h", "recipients/GroupCount.h",
                                    "sending/HistoryLog.h"],
            "tools/SupportRequest.cpp": ["sending/MessageSetup.h", "com/LateBound.h"],
            "sending/forms/SendMailForm1.cpp": ["ui/MessageBoxes.h", "editor/HtmlEditor.h", "sending/SendRun.h",
                                                "recipients/forms/RecipientForms.h", "sending/forms/ThreadForm.h"],
            "tools/forms/MessagePrint.cpp": ["mail/print/MessagePrinter.h", "sending/forms/ComposerInput.h"],
            "app/MainForm.cpp": ["tools/forms/MessageImport.h"],
        }), [])

    def test_nothing_reaches_up_or_sideways(self):
        cases = {
            "recipients/RecipientStore.cpp": "transfer/ImportText.h",
            "transfer/forms/RecipientImportForm.cpp": "sending/forms/ThreadForm.h",
            "sending/SendRun.cpp": "content/InsertMarkup.h",
            "mail/Smtp.cpp": "mail/print/MessagePrinter.h",
            "tools/forms/SupportForm.cpp": "app/MainForm.h",
            "editor/HtmlEditor.cpp": "recipients/CheckEmail.h",
        }
        for path, header in cases.items():
            with self.subTest(path=path):
                self.assertEqual(len(self.faults({path: [header]})), 1)

    def test_tests_follow_the_folder_they_test(self):
        self.assertEqual(len(self.faults({"tests/sending/SendRunTest.cpp": ["sending/forms/SendMailForm1.h"]})), 1)
        self.assertEqual(len(self.faults({"tests/mail/MessageTest.cpp": ["mail/print/MessagePrinter.h"]})), 1)
        self.assertEqual(self.faults({
            "tests/sending/forms/SendRunTest.cpp": ["sending/forms/SendMailForm1.h", "tests/support/DialogAnswers.h"],
            "tests/mail/print/MessagePrinterTest.cpp": ["mail/print/MessagePrinter.h", "tests/mail/MimeTestSupport.h"],
        }), [])


if __name__ == "__main__":
    unittest.main()
