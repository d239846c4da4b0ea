#!/usr/bin/env python3
"""The Windows ZIP holds the program, the readme for Windows users and the
licence, and nothing else. The readme is its source as Notepad opens it (a
UTF-8 byte-order mark, CR LF line ends), Japanese first and then English, and
tells of no command that only the developers run."""

import re
import sys
import tempfile
import zipfile

from package_support import arguments, make_package, source_bytes

UTF8_BOM = b"\xef\xbb\xbf"
README = "README.txt"
# Where the English text begins: its title line.
ENGLISH_TITLE = re.compile(r"^ansifold .*\(English\)$", re.MULTILINE)
DEVELOPER_COMMANDS = re.compile(
    r"tools/|\.sh\b|\b(cmake|ctest|ninja|sudo|apt|apt-get|dpkg|wine)\b", re.IGNORECASE)


def japanese_share(text):
    """The share of kana and kanji among the letters of text."""
    letters = [c for c in text if c.isalpha()]
    japanese = [c for c in letters if "\u3040" <= c <= "\u30ff" or "\u4e00" <= c <= "\u9fff"]
    return len(japanese) / max(len(letters), 1)


def readme_problems(data):
    if not data.startswith(UTF8_BOM):
        return ["it does not start with a UTF-8 byte-order mark"]
    text = data[len(UTF8_BOM):].decode("utf-8").replace("\r\n", "\n")
    problems = []
    english = ENGLISH_TITLE.search(text)
    if english is None:
        problems.append("it has no English title line")
    elif japanese_share(text[:english.start()]) < 0.5 or \
            japanese_share(text[english.start():]) > 0.05:
        problems.append("it is not Japanese first and then English")
    named = sorted({m.group(0) for m in DEVELOPER_COMMANDS.finditer(text)})
    if named:
        problems.append(f"it names developer commands: {named}")
    return problems


def main():
    options = arguments("--program")
    with open(options.program, "rb") as f:
        program = f.read()
    readme = source_bytes(options, "doc/windows/README.txt")
    expected = {
        "ansifold.exe": program,
        README: UTF8_BOM + readme.replace(b"\n", b"\r\n"),
        "LICENSE": source_bytes(options, "LICENSE"),
    }
    with tempfile.TemporaryDirectory(prefix="ansifold-zip-") as folder:
        with zipfile.ZipFile(make_package(options, "ZIP", folder)) as archive:
            held = {name: archive.read(name) for name in archive.namelist()}
    if sorted(held) != sorted(expected):
        print(f"the ZIP holds {sorted(held)}, expected {sorted(expected)}")
        return 1
    problems = [f"{name} in the ZIP does not hold the expected bytes"
                for name in expected if held[name] != expected[name]]
    problems += [f"{README}: {problem}" for problem in readme_problems(held[README])]
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
