#!/usr/bin/env python3
"""Fails on the structural debts the code once had, so they do not come back.

- A window hands its result back as a return value: a forms/ header declares no mutable global (an
  inline or extern variable at namespace scope).
- A window never looks up another window's controls by object name: no findChild on the window a
  window was opened from (a receiver named like a window, a parent or the application).
- The send path switches on named codes: no bare-number case label in the files that once had them.
- No function is longer than 120 lines.
"""
import os
import re
import sys

MAX_FUNCTION_LINES = 120
# The files that switched on bare result numbers; their enums now carry the names.
NAMED_CODE_FILES = ("tools/MessageFiles.cpp", "sending/SendRun.cpp", "mail/SmtpSession.cpp")

GLOBAL = re.compile(r"^(?:inline|extern)\s+(?!constexpr\b|const\b|namespace\b)[\w:<>,\s\*&]+?\b\w+\s*(?:=|;|\{)")
FUNCTION_LIKE = re.compile(r"\w\s*\(")
FOREIGN_FINDCHILD = re.compile(
    r"(\w*(?:window|parent|mainform|toplevel)\w*(?:\(\))?|qApp|QApplication::\w+\(\))\s*(?:->|\.)\s*findChild\s*<",
    re.IGNORECASE)
BARE_CASE = re.compile(r"^\s*case\s+-?\d+\s*:")
NOT_A_FUNCTION = re.compile(r"^(?:namespace|class|struct|enum|union|extern|template\s*<[^>]*>\s*(?:class|struct))\b")


def function_faults(rel, lines):
    """Functions defined at namespace scope. The code is clang-formatted and namespaces are not
    indented: a definition starts at the beginning of a line, its signature may go on over indented
    lines up to the one that ends with "{", and its body ends at the next "}" at the start of a line."""
    faults = []
    signature = None  # where a definition at the start of a line began
    start = None  # where the function being read began
    for number, line in enumerate(lines, 1):
        if start is not None:
            if line.startswith("}"):
                length = number - start + 1
                if length > MAX_FUNCTION_LINES:
                    faults.append(f"{rel}:{start}: a function of {length} lines (at most {MAX_FUNCTION_LINES})")
                start = None
            continue
        stripped = line.strip()
        if not stripped or stripped.startswith(("//", "#")) or stripped.endswith(";"):
            signature = None
            continue
        if re.match(r"[A-Za-z_~]", line):
            signature = (number, line)
        if signature and stripped.endswith("{"):
            first = signature[1]
            if "(" in first and not NOT_A_FUNCTION.match(first) and "=" not in first.split("(")[0]:
                start = signature[0]
            signature = None
    return faults


def faults_in_file(rel, text):
    faults = []
    lines = text.splitlines()
    in_forms_header = "/forms/" in "/" + rel and rel.endswith(".h")
    for number, line in enumerate(lines, 1):
        if in_forms_header and GLOBAL.match(line) and not FUNCTION_LIKE.search(line.split("=")[0]):
            faults.append(f"{rel}:{number}: a global in a window header (return the result instead)")
        if FOREIGN_FINDCHILD.search(line):
            faults.append(f"{rel}:{number}: looks up another window's control by name (ask its interface)")
        if rel in NAMED_CODE_FILES and BARE_CASE.match(line):
            faults.append(f"{rel}:{number}: a case label that is a bare number (switch on the named code)")
    if rel.endswith(".cpp"):
        faults += function_faults(rel, lines)
    return faults


def faults_in(root):
    faults = []
    for folder, dirs, files in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        top = rel_folder.split("/")[0]
        if top in ("tests", "bench", ".git") or top.startswith("build"):
            dirs[:] = []
            continue
        for name in sorted(files):
            if name.endswith((".cpp", ".h")):
                rel = os.path.normpath(os.path.join(rel_folder, name))
                with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as source:
                    faults += faults_in_file(rel, source.read())
    return faults


def main(root):
    faults = faults_in(root)
    for fault in faults:
        print(fault)
    print(f"{len(faults)} structural faults" if faults else "structure: no global hand-backs, foreign "
          "look-ups, bare-number cases or over-long functions")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")))
