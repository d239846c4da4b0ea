"""What only the Linux build meets: symbolic links, names that are not UTF-8,
signals, and a working directory that no longer exists."""

import os
import re
import signal
import subprocess
import tempfile
import time
import unittest

import harness
from harness import Dir, File, Link, TreeTestCase, build, moved, tree_after

native_only = unittest.skipIf(harness.under_wine(), "Linux build only")


@native_only
class Links(TreeTestCase):
    def test_links_are_renamed_but_never_walked(self):
        folder = Dir("dir", Link("loop", ".."), Link("self", "."), Link("out", "../outside"),
                     Link("😀", "..", moved("__")), File("f.txt"))
        outside = Dir("outside", File("o.txt"))
        build(self.root, [folder, outside])

        result = self.run_program(["dir"])

        self.assertWalk(result, [[folder]])
        self.assertTree(self.root, tree_after([folder, outside], lambda node: node is folder))


@native_only
class RawNames(TreeTestCase):
    """A name byte that is not UTF-8 is printed as it is on disk, a backslash
    byte too, and folds to "_"."""

    def test_bytes_survive_printing_and_renaming(self):
        raw = Dir("raw",
                  File("bad\udcff.txt", moved("bad_.txt")),
                  File("\udce3\udc81.txt", moved("__.txt")),
                  File("a\\b.txt", moved("a_b.txt")),
                  Dir("ok\udcfe", File("in\udc80.txt", moved("in_.txt")), outcome=moved("ok_")))
        argument = File("arg\udcc0.txt", moved("arg_.txt"))
        build(self.root, [raw, argument])

        result = self.run_program(["raw", argument.name])

        self.assertWalk(result, [[raw], [argument]])
        self.assertTree(self.root, tree_after([raw, argument]))


@native_only
class Signals(TreeTestCase):
    """Ctrl+C and Ctrl+\\ change nothing; SIGTERM and SIGHUP end the run
    between two entries."""

    FOLDERS, FILES = 25, 100

    def make_tree(self, cwd, mark):
        """The tree "big" in cwd; its names fold unless mark is ASCII."""
        for folder in range(self.FOLDERS):
            path = os.path.join(cwd, "big", f"folder-{folder:03}")
            os.makedirs(path)
            for file in range(self.FILES):
                # Long enough that the report, in UTF-8, is many pipes full.
                name = f"file-{folder:03}-{file:04}-{mark}-{'x' * 40}.txt"
                with open(os.path.join(path, name), "wb"):
                    pass
        return cwd

    def setUp(self):
        super().setUp()
        # Names that stay: every run over this tree prints the same.
        self.reference = self.run_program(["big"], cwd=self.make_tree(self.root, "ascii"))
        self.assertExit(self.reference, 0)
        # Far more than a pipe holds: the program blocks in a write while it
        # is signalled, in the middle of the run.
        self.assertGreater(len(self.reference.stdout), 4 * 65536)

    def signalled_run(self, signals, cwd):
        process = harness.start(["big"], cwd)
        self.addCleanup(process.kill)
        pipe = process.stdout.fileno()
        head = [os.read(pipe, 2)]
        for number in signals:
            time.sleep(0.05)
            process.send_signal(number)
            head.append(os.read(pipe, 40000))
        rest, errors = process.communicate(timeout=harness.timeout())
        return harness.Result(["big"], process.returncode, b"".join(head) + rest, errors)

    def test_interrupts_change_nothing(self):
        for signals in ([signal.SIGINT], [signal.SIGQUIT],
                        [signal.SIGINT, signal.SIGQUIT, signal.SIGINT, signal.SIGINT]):
            with self.subTest(signals=[s.name for s in signals]):
                result = self.signalled_run(signals, self.root)
                self.assertExit(result, 0)
                self.assertEqual(result.stdout, self.reference.stdout, result.describe())

    def test_termination_ends_the_run_between_entries(self):
        # Signalled while a block of its report waits for room in the pipe:
        # the rest of what it collected comes all the same, the last record
        # is whole, and the renames that the report shows are exactly those
        # on disk.
        for number in (signal.SIGTERM, signal.SIGHUP):
            with self.subTest(signal=number.name):
                cwd = self.make_tree(tempfile.mkdtemp(dir=self.root), "😀")
                process = harness.start(["big"], cwd)
                self.addCleanup(process.kill)
                harness.stop_when_blocked(process)
                process.send_signal(number)
                os.kill(process.pid, signal.SIGCONT)
                out, errors = process.communicate(timeout=harness.timeout())
                result = harness.Result(["big"], process.returncode, out, errors)

                self.assertExit(result, -number)
                records = result.records
                self.assertTrue(all(outcome[0] == "moved" for _, outcome in records),
                                result.describe())
                reported = {name for name, outcome in records if outcome[1] != name}
                self.assertLess(len(reported), self.FOLDERS * self.FILES)
                names = [name for _, _, files in os.walk(os.path.join(cwd, "big"))
                         for name in files]
                self.assertEqual(len(names), self.FOLDERS * self.FILES)
                self.assertEqual({name.replace("__", "😀") for name in names if "__" in name},
                                 reported)


@native_only
class LostWorkingDirectory(TreeTestCase):
    def test_unresolvable_argument_shows_two_lines_in_order_and_the_run_goes_on(self):
        # Both streams into one pipe: the boxes stand between the records of
        # the arguments around them, whatever output was collected first, and
        # the summary comes last.
        # A name relative to the lost directory is never taken in another
        # one, such as the directory of the argument before it.
        os.mkdir(os.path.join(self.root, "gone"))
        build(self.folder("first"), [File("🎉.txt"), File("😀x")])
        build(self.folder("kept"), [File("😀.txt"), File("😀y")])
        # The directory stays lost after an argument that resolved: the name
        # after it is not taken beside that argument either.
        arguments = [os.path.join(self.root, "first", "🎉.txt"), "😀x",
                     os.path.join(self.root, "kept", "😀.txt"), "😀y"]
        script = 'cd gone && rmdir ../gone && exec "$@"'

        completed = subprocess.run(
            ["sh", "-c", script, "sh"] + harness.command(arguments), cwd=self.root,
            env=harness.program_environment(), stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=harness.timeout())

        self.assertEqual(completed.returncode, 0)
        boxes = rb"\[-1\]\nerr:[0-9a-f]+\n"
        self.assertRegex(completed.stdout, re.compile(
            rb"\A" + re.escape(harness.encode("🎉.txt\n->__.txt\n")) + boxes +
            re.escape(harness.encode("😀.txt\n->__.txt\n")) + boxes +
            re.escape(harness.encode(harness.summary(2, 0, 0))) + rb"\Z"))
        self.assertTree(self.root, {
            "first": {"__.txt": "🎉.txt".encode(), "😀x": "😀x".encode()},
            "kept": {"__.txt": "😀.txt".encode(), "😀y": "😀y".encode()}})


if __name__ == "__main__":
    unittest.main()
