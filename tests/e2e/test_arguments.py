"""How command-line arguments pick the entries: separators, directory parts,
repeats, missing names, options and wildcards."""

import os
import unittest

import harness
from harness import MISSING_ARGUMENT, Dir, File, Link, TreeTestCase, build, read_tree, tree_after

EMOJI = "😀.txt\n->__.txt\n"


class Separators(TreeTestCase):
    def test_trailing_separator_names_the_directory(self):
        build(self.root, [Dir("docs", File("c.txt")), Dir("😀", File("in.txt"))])
        spellings = ["docs", "docs/"] + (["docs\\"] if harness.under_wine() else [])

        result = self.run_program(spellings + ["😀/"])

        docs = "c.txt\n->c.txt\ndocs\n->docs\n"
        self.assertOutput(result, docs * len(spellings) + "in.txt\n->in.txt\n😀\n->__\n")
        self.assertTree(self.root, {"docs": {"c.txt": b"c.txt"}, "__": {"in.txt": b"in.txt"}})

    def test_directory_part_renames_inside_that_directory(self):
        # Every folder, the working one too, holds a 😀.txt; only the named
        # ones may move, and only the bare name is printed.
        folders = ["s1", "s2", "s3", "s4", "s5", "s6", "untouched"]
        for folder in folders:
            build(self.folder(folder), [File("😀.txt")])
        build(self.root, [File("😀.txt")])
        backslash = "s2\\😀.txt" if harness.under_wine() else "s2/😀.txt"
        arguments = ["s1/😀.txt", backslash, os.path.join(self.root, "s3", "😀.txt"),
                     "s4/*.txt", "s5/../s6/😀.txt"]

        result = self.run_program(arguments)

        self.assertOutput(result, EMOJI * 5)
        renamed = {"s1", "s2", "s3", "s4", "s6"}
        expected = {folder: {"__.txt" if folder in renamed else "😀.txt": "😀.txt".encode()}
                    for folder in folders}
        expected["😀.txt"] = "😀.txt".encode()
        self.assertTree(self.root, expected)


class Selection(TreeTestCase):
    def test_repeats_and_missing_names(self):
        build(self.root, [File("😀.txt"), File("a.txt")])

        # A renamed entry is gone under its old name; an unchanged one is
        # handled again; names of nothing print nothing.
        result = self.run_program(["😀.txt", "missing.txt", "😀.txt", "a.txt", "nodir/x.txt",
                                   "a.txt", "😁missing"])

        self.assertOutput(result, EMOJI + "a.txt\n->a.txt\n" * 2)
        self.assertTree(self.root, {"__.txt": "😀.txt".encode(), "a.txt": b"a.txt"})

    def test_wildcards_take_directories_and_files(self):
        d1, d2 = Dir("d1", File("f1.txt")), Dir("d2")
        emoji = File("😀.dat", harness.moved("__.dat"))
        build(self.root, [d1, d2, emoji, File("e.txt")])

        result = self.run_program(["d*", "*.dat", "*.none"])

        self.assertWalk(result, [[d1, d2], [emoji]])
        self.assertTree(self.root, tree_after([d1, d2, emoji, File("e.txt")]))

    def test_a_named_link_is_walked_one_level(self):
        # Wine, too, sees the host's symbolic links as links.
        target = Dir("target", File("in😀.txt", harness.moved("in__.txt")), Link("back", ".."))
        named = Link("named", "target")
        build(self.root, [target, named])

        result = self.run_program(["named"])

        self.assertWalk(result, [[Dir("named", *target.children)]])
        self.assertTree(self.root, tree_after([target, named]))


class NoFileArgument(TreeTestCase):
    def test_message_and_exit_code_1(self):
        build(self.root, [File("😀.txt"), Dir("sub", File("😁.txt"))])
        before = read_tree(self.root)
        cases = [
            [],
            ["-x"],
            ["-x", ":z", "-"],
            ["*.none"],
            ["-a", "nothing*", "sub/*.none"],
        ]
        if harness.under_wine():
            # On Windows a first token that starts with "/" is an option,
            # absolute path or not.
            cases += [["-x", "/y", ":z", "-"], [os.path.join(self.root, "😀.txt")]]
        for arguments in cases:
            with self.subTest(arguments=arguments):
                self.assertOutput(self.run_program(arguments), MISSING_ARGUMENT, code=1)
        self.assertTree(self.root, before)


class Options(TreeTestCase):
    def test_options_then_files(self):
        build(self.root, [File("😀.txt"), File("-c.txt"), File("-x")])
        cases = [
            # Options end at the first other token; later ones are names.
            (["-a", "/b", ":c", "😀.txt", "-c.txt", "-x"],
             EMOJI + "-c.txt\n->-c.txt\n-x\n->-x\n"),
            # A token equal to the next one is dropped and ends the options.
            (["-c.txt", "-c.txt"], "-c.txt\n->-c.txt\n"),
            (["-q", "-q", "missing"], ""),
        ]
        for arguments, output in cases:
            with self.subTest(arguments=arguments):
                self.assertOutput(self.run_program(arguments), output)

    @unittest.skipIf(harness.under_wine(), "Linux build only")
    def test_absolute_paths_are_names_on_linux(self):
        build(self.root, [Dir("abs", File("😀.txt")), File("😁.txt")])

        result = self.run_program(["-a", os.path.join(self.root, "abs", "😀.txt"), "😁.txt"])

        self.assertOutput(result, EMOJI + "😁.txt\n->__.txt\n")
        self.assertTree(self.root, {"abs": {"__.txt": "😀.txt".encode()},
                                    "__.txt": "😁.txt".encode()})


@unittest.skipUnless(harness.under_wine(), "drive letters are Windows'")
class DriveRelativeNames(TreeTestCase):
    """A drive letter of Wine's prefix is pointed at a folder of the test, so
    that a name such as "Q:*" lists that drive's current directory (its root
    here) while the working directory lies on another drive."""

    def setUp(self):
        super().setUp()
        devices = os.path.join(harness.program_environment().get("WINEPREFIX", ""), "dosdevices")
        if not os.path.isdir(devices):
            self.skipTest("no Wine prefix with drive letters to map")
        drive = self.folder("drive")
        for letter in "qponmlkjihgfe":
            link = os.path.join(devices, letter + ":")
            try:
                os.symlink(drive, link)
            except FileExistsError:
                continue
            self.addCleanup(os.remove, link)
            self.letter = letter.upper() + ":"
            return
        self.skipTest("no free drive letter")

    def test_matches_and_names_resolve_on_their_drive(self):
        # The working folder holds entries of the same names, which must stay.
        inside = [Dir("d😀", File("in😀.txt", harness.moved("in__.txt")),
                      outcome=harness.moved("d__")),
                  File("😀.txt", harness.moved("__.txt"))]
        build(self.folder("drive"), inside)
        build(self.folder("work"), [Dir("d😀", File("in😀.txt")), File("😀.txt")])

        result = self.run_program([self.letter + "*", self.letter + "missing"],
                                  cwd=self.folder("work"))

        self.assertWalk(result, [inside])
        self.assertTree(self.folder("drive"), tree_after(inside))
        self.assertTree(self.folder("work"), {"d😀": {"in😀.txt": "in😀.txt".encode()},
                                              "😀.txt": "😀.txt".encode()})


if __name__ == "__main__":
    unittest.main()
