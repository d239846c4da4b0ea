#!/usr/bin/env python3
"""The Windows ZIP holds the program, both READMEs and the licence, and
nothing else; the Japanese README with a UTF-8 byte-order mark in front of
the source text."""

import sys
import tempfile
import zipfile

from package_support import arguments, make_package, source_bytes

UTF8_BOM = b"\xef\xbb\xbf"


def main():
    options = arguments("--program")
    with open(options.program, "rb") as f:
        program = f.read()
    expected = {
        "ansifold.exe": program,
        "README.md": source_bytes(options, "README.md"),
        "README.ja.md": UTF8_BOM + source_bytes(options, "README.ja.md"),
        "LICENSE": source_bytes(options, "LICENSE"),
    }
    with tempfile.TemporaryDirectory(prefix="ansifold-zip-") as folder:
        with zipfile.ZipFile(make_package(options, "ZIP", folder)) as archive:
            held = {name: archive.read(name) for name in archive.namelist()}
    if sorted(held) != sorted(expected):
        print(f"the ZIP holds {sorted(held)}, expected {sorted(expected)}")
        return 1
    differing = [name for name in expected if held[name] != expected[name]]
    for name in differing:
        print(f"{name} in the ZIP does not hold the expected bytes")
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main())
