"""The Windows program splits its command line by its own rules.

A launcher starts it with an exact line through CreateProcessW; each line
below splits differently under the run-time library's rules, and only the
program's own split names the entries that the expected output shows.
"""

import os
import unittest

from harness import (Result, TreeTestCase, confined_to_scratch, emulator, execute, program,
                     program_environment, under_wine)

CASES = [
    # (command line after the program name, files to create, expected output)
    # A backslash does not escape the closing quote of a quoted token.
    ('"dir\\" x', ["dir/f.txt", "x"], "f.txt\n->f.txt\ndir\n->dir\nx\n->x\n"),
    # A quote followed by a letter does not close a quote section.
    ('x a"b c"d e', ["x", "ab cd", "e"], "x\n->x\n"),
    # A tab is no separator.
    ("x\ty z", ["x", "y", "z"], "z\n->z\n"),
]


@unittest.skipUnless(under_wine(), "the Windows program's own split")
class CommandLine(TreeTestCase):
    def launch(self, line):
        launcher = os.environ["ANSIFOLD_LAUNCHER"]
        env = program_environment()
        env["ANSIFOLD_COMMAND_LINE"] = "ansifold.exe " + line
        return Result(line, *execute(confined_to_scratch([emulator(), launcher, program()]),
                                     self.root, env))

    def test_lines_split_by_the_programs_own_rules(self):
        for line, files, expected in CASES:
            with self.subTest(line=line):
                self.setUp()
                for name in files:
                    path = os.path.join(self.root, name)
                    os.makedirs(os.path.dirname(path), exist_ok=True)
                    open(path, "w").close()
                self.assertOutput(self.launch(line), expected)
