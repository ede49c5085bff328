#!/usr/bin/env python3
"""Fails when a logic test executable needs a widget library.

Logic tests check what the windows decide without a screen, so they link the logic libraries only. The
dynamic section of each executable given (its NEEDED entries, read with readelf) must name neither Qt
Widgets, nor QtWebEngine, nor Qt PrintSupport (which brings Widgets).
"""
import re
import subprocess
import sys

WIDGET_LIBRARY = re.compile(r"^libQt6(Widgets|WebEngine\w*|PrintSupport)\.so")
NEEDED = re.compile(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]")


def needed(path):
    run = subprocess.run(["readelf", "-d", path], capture_output=True, text=True)
    if run.returncode != 0:
        raise OSError(run.stderr.strip() or f"readelf could not read {path}")
    return NEEDED.findall(run.stdout)


def main(paths):
    if not paths:
        print("no logic test executables were given")
        return 1
    faults = 0
    for path in paths:
        try:
            libraries = needed(path)
        except OSError as error:
            print(f"{path}: {error}")
            faults += 1
            continue
        widgets = [name for name in libraries if WIDGET_LIBRARY.match(name)]
        if widgets:
            print(f"{path}: needs {', '.join(widgets)}")
            faults += 1
        elif not libraries:
            print(f"{path}: no NEEDED entries read")
            faults += 1
        else:
            print(f"{path}: no widget library")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
