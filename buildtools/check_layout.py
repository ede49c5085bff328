#!/usr/bin/env python3
"""Fails when a source file includes a header from a library above its own.

Each top-level folder is one library. The five areas (recipients, transfer, sending, content, tools) are
two: the folder itself holds the area's logic, which links no widget library, and its forms/ subfolder
holds the windows on top of that logic. mail/print/ (the message printer) is a library of its own above
the widget-free mail library. A library may include only the libraries listed for it below.

Logic may include what its library links (core, com, mail, the logic of the areas it stands on): never
ui/, editor/, mail/print/ or any forms/. The windows of an area may include their own logic, ui/ and
what the windows' library links (editor/, mail/print/, the windows of the areas it stands on). Tests and benchmarks under tests/X or bench/X (tests/X/forms, tests/mail/print) follow
the rules of what they test, plus their own support folders.
"""
import os
import re
import sys

# What each library may include: itself and what it links (directly or through the libraries it links,
# as their CMakeLists.txt say). Logic never reaches ui/, editor/, mail/print/ or any forms/.
LOWER = {
    "core": {"core"},
    "com": {"com"},
    "dnsresolver": {"com", "dnsresolver"},
    "mail": {"core", "mail"},
    "mail/print": {"core", "mail", "mail/print"},
    "ui": {"core", "ui"},
    "editor": {"core", "ui", "editor"},
    "recipients": {"core", "recipients"},
    "transfer": {"core", "recipients", "transfer"},
    "sending": {"core", "mail", "recipients", "sending"},
    "content": {"core", "content"},
    "tools": {"core", "com", "mail", "recipients", "sending", "tools"},
}
# The windows of an area use its logic, ui/ and the windows their own libraries link.
FORMS_LINK = {
    "recipients": set(),
    "transfer": {"recipients/forms"},
    "sending": {"recipients/forms", "editor"},
    "content": {"recipients/forms", "editor"},
    "tools": {"sending/forms", "mail/print", "editor"},
}
for area in ("recipients", "transfer", "sending", "content", "tools"):  # each after the ones it links
    uses = set(LOWER[area]) | {"ui", area + "/forms"}
    for library in FORMS_LINK[area]:
        uses |= LOWER[library] | {library}
    LOWER[area + "/forms"] = uses
EVERYTHING = set(LOWER) | {"app"}
LOWER["app"] = EVERYTHING
LOWER["buildtools"] = EVERYTHING | {"buildtools"}
LIBRARIES = EVERYTHING | {"buildtools"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+(?:/[a-z]+)*)/[^/"]+"')


def library_of(folder):
    """The library a folder path (without file name) belongs to, or None outside the libraries."""
    parts = folder.split("/")
    if len(parts) >= 2 and parts[1] in ("forms", "print") and "/".join(parts[:2]) in LOWER:
        return "/".join(parts[:2])
    return parts[0] if parts[0] in LIBRARIES else None


def allowed_for(path):
    parts = path.split("/")
    if parts[0] in ("tests", "bench"):
        tested = library_of("/".join(parts[1:-1])) if len(parts) > 2 else None
        base = LOWER.get(tested, EVERYTHING) if tested else EVERYTHING
        # A test may also read back through the widget-free mail library what it made (the content
        # tests send a filled-in template through it).
        return base | {parts[0]} | ({"mail"} if parts[0] == "tests" else set())
    own = library_of("/".join(parts[:-1]))
    return LOWER.get(own) if own else None


def faults_in(root):
    faults = []
    for folder, _, files in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        if rel_folder.split("/")[0] in ("build", ".git") or rel_folder.startswith("build"):
            continue
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            rel = os.path.normpath(os.path.join(rel_folder, name))
            allowed = allowed_for(rel)
            if allowed is None:
                continue
            with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    target = library_of(match.group(1))
                    if target in LIBRARIES and target not in allowed:
                        faults.append(f"{rel}:{number}: includes {match.group(1)}/, above its own library")
    return faults


def main(root):
    faults = faults_in(root)
    for fault in faults:
        print(fault)
    print(f"{len(faults)} includes point up the layout" if faults else "layout: every include points down")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")))
