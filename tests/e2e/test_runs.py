"""Whole runs on ASCII trees: what is walked, in which order, and the exit code."""

import os
import unittest

import harness

from harness import (Dir, File, TreeTestCase, build, moved, read_tree, render_records, summary,
                     tree_after)


class TypicalRuns(TreeTestCase):
    def test_wildcard_and_directory(self):
        a, b = File("a.txt"), File("b.txt")
        docs = Dir("docs", File("c.txt"))
        build(self.root, [a, b, docs])
        before = read_tree(self.root)

        result = self.run_program(["*.txt", "docs"])

        # *.txt expands in the file system's order; docs comes after both.
        self.assertWalk(result, [[a, b], [docs]])
        self.assertTree(self.root, before)

    def test_nested_directories_files_and_a_missing_name(self):
        trip = Dir("trip", File("a.jpg"))
        photos = Dir("photos", trip, File("b.jpg"))
        notes = File("notes.txt")
        build(self.root, [photos, notes])
        before = read_tree(self.root)

        result = self.run_program(["photos", "notes.txt", "missing.txt"])

        self.assertWalk(result, [[photos], [notes]])
        self.assertTree(self.root, before)


class Outcomes(TreeTestCase):
    """After the last entry, a count of what became of the entries on standard
    error; exit code 2 when some entry was not given its name."""

    def test_summary_and_exit_code(self):
        # One name stays, one folds, one folds onto the name the other takes.
        build(self.root, [File("a.txt"), File("😀.txt"), File("😁.txt")])
        before = read_tree(self.root)
        names = ["a.txt", "😀.txt", "😁.txt"]
        cases = [
            (["--dry-run"] + names, 2, summary(1, 1, 1, dry_run=True)),
            (["--dry-run", "a.txt"], 0, summary(0, 1, 0, dry_run=True)),
            (["a.txt", "missing"], 0, summary(0, 1, 0)),
            (["missing"], 0, summary(0, 0, 0)),
            (["--log=run.log"] + names, 2, summary(1, 1, 1)),
            (["--undo=run.log"], 0, summary(1, 0, 0)),
            (["--undo=run.log"], 2, summary(0, 0, 1)),
        ]
        for arguments, code, line in cases:
            with self.subTest(arguments=arguments):
                result = self.run_program(arguments)
                self.assertExit(result, code)
                self.assertEqual(result.errors, line, result.describe())
        os.remove(os.path.join(self.root, "run.log"))
        self.assertTree(self.root, before)

    def test_only_the_changes(self):
        # The records of a whole run, but for those of entries whose name
        # fits already; the summary still counts them.
        build(self.root, [File("a.txt"), File("😀.txt"), File("😁.txt"), Dir("d", File("b.txt"))])
        names = ["a.txt", "😀.txt", "😁.txt", "d"]
        preview = self.run_program(["--dry-run"] + names)
        changes = [record for record in preview.records if record[1] != moved(record[0])]

        result = self.run_program(names + ["--changes"])

        self.assertOutput(result, render_records(changes), code=2)
        self.assertEqual(result.errors, summary(1, 3, 1), result.describe())
        self.assertEqual(len(changes), 2, preview.describe())


class Shapes(TreeTestCase):
    def test_empty_directory_prints_only_its_own_lines(self):
        build(self.root, [Dir("empty")])
        self.assertOutput(self.run_program(["empty"]), "empty\n->empty\n")

    def test_deep_tree_comes_out_children_first(self):
        level5 = Dir("l5", File("deep.txt"), Dir("e5"))
        level4 = Dir("l4", level5)
        level3 = Dir("l3", File("s3.txt"), level4, Dir("e3"))
        level2 = Dir("l2", level3, File("s2.txt"))
        level1 = Dir("l1", File("s1a.txt"), level2, File("s1b.txt"))
        build(self.root, [level1])

        result = self.run_program(["l1"])

        self.assertWalk(result, [[level1]])
        self.assertTree(self.root, tree_after([level1]))


class PipedInput(TreeTestCase):
    """Standard input that is not a terminal is read to its end; the run goes
    on as if it had been empty."""

    INPUTS = [
        ("lines", b"first\r\nsecond\n\nthird without line feed"),
        ("long line and odd bytes", b"x" * 300 + b"\n\xff\xfe\x00\x81\n\xe3\x81\n" + b"y" * 5000),
        ("a megabyte", (b"0123456789" * 6 + b"\n") * 17000),
    ]

    def test_output_does_not_depend_on_standard_input(self):
        build(self.root, [File("a.txt"), Dir("docs", File("c.txt"))])
        arguments = ["a.txt", "docs"]
        reference = self.run_program(arguments)
        self.assertOutput(reference, "a.txt\n->a.txt\nc.txt\n->c.txt\ndocs\n->docs\n")

        for label, data in self.INPUTS:
            with self.subTest(label, source="pipe"):
                self.assertOutput(self.run_program(arguments, stdin=data), reference.text)

        source = os.path.join(self.folder("input"), "stdin.txt")
        with open(source, "wb") as f:
            f.write(self.INPUTS[1][1])
        self.assertOutput(self.run_program(arguments, stdin=source), reference.text)


if __name__ == "__main__":
    unittest.main()
