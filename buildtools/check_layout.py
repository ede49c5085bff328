#!/usr/bin/env python3
"""Fails when a source file includes a header from a library folder above its own.

Each top-level folder is one library; a library may use only the folders listed for it below. Tests and
benchmarks under tests/X or bench/X follow the rules of X (plus their own support folders).
"""
import os
import re
import sys

LOWER = {
    "core": {"core"},
    "com": {"core", "com"},
    "ui": {"core", "ui"},
    "mail": {"core", "mail"},
    "dnsresolver": {"com", "dnsresolver"},
    "editor": {"core", "ui", "editor"},
    "recipients": {"core", "ui", "mail", "editor", "recipients"},
}
AREA = {"core", "ui", "mail", "editor", "recipients"}
for area in ("transfer", "sending", "content"):
    LOWER[area] = AREA | {area}
LOWER["tools"] = AREA | {"com", "transfer", "sending", "content", "tools"}
EVERYTHING = set(LOWER) | {"app"}
LOWER["app"] = EVERYTHING
LOWER["buildtools"] = EVERYTHING | {"buildtools"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/')


def allowed_for(path):
    parts = path.split("/")
    if parts[0] in ("tests", "bench"):
        own = parts[1] if len(parts) > 2 else ""
        base = LOWER.get(own, EVERYTHING)
        return base | {"tests"} if parts[0] == "tests" else base | {"bench"}
    return LOWER.get(parts[0])


def main(root):
    faults = []
    for folder, _, files in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        if rel_folder.split("/")[0] in ("build", ".git"):
            continue
        for name in files:
            if not name.endswith((".cpp", ".h")):
                continue
            rel = os.path.normpath(os.path.join(rel_folder, name))
            allowed = allowed_for(rel)
            if allowed is None:
                continue
            with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if match and match.group(1) in EVERYTHING | {"buildtools"} and match.group(1) not in allowed:
                        faults.append(f"{rel}:{number}: includes {match.group(1)}/, above its own library")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} includes point up the layout" if faults else "layout: every include points down")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")))
