"""The program built without sanitizers, under valgrind: no invalid access,
no use of uninitialised memory and no definite or indirect leak on a run over
a mixed tree with piped input."""

import shutil
import subprocess
import unittest

import harness
from harness import Dir, File, TreeTestCase, build

VALGRIND = ["valgrind", "--error-exitcode=1", "--leak-check=full",
            "--errors-for-leak-kinds=definite,indirect", "--track-origins=yes"]


def mixed_tree():
    return [
        Dir("mixed", File("plain.txt"), File("café.txt"), File("😀.txt"), File("😁.txt"),
            File("bad\udcff\\name"),
            Dir("日本", File("テスト.txt"), Dir("深い", File("ゆき😀.txt")), Dir("empty"))),
        File("top 🎉.txt"),
    ]


@unittest.skipIf(harness.under_wine(), "Linux build only")
@unittest.skipUnless(shutil.which("valgrind"), "valgrind is not installed")
class Valgrind(TreeTestCase):
    def test_mixed_run_is_clean(self):
        arguments = ["mixed", "top 🎉.txt", "missing"]
        stdin = b"piped line\n" * 500 + b"\xff\xfe bytes\r\nlast"
        build(self.folder("reference"), mixed_tree())
        build(self.folder("checked"), mixed_tree())
        reference = self.run_program(arguments, cwd=self.folder("reference"), stdin=stdin)

        completed = subprocess.run(
            harness.command(arguments, runner=VALGRIND), cwd=self.folder("checked"), input=stdin,
            env=harness.program_environment(), capture_output=True, timeout=120)

        errors = completed.stderr.decode(errors="replace")
        self.assertEqual(completed.returncode, harness.report_code(reference.text), errors)
        self.assertIn("ERROR SUMMARY: 0 errors", errors)
        # The same records. Their order is the walk's, by the entries' file
        # ids, which two trees built one after the other need not share
        # (tmpfs hands out inode numbers in batches per CPU).
        checked = harness.Result(arguments, completed.returncode, completed.stdout,
                                 completed.stderr)
        self.assertEqual(sorted(checked.records), sorted(reference.records))
        self.assertEqual(len(reference.records), 12, reference.describe())


if __name__ == "__main__":
    unittest.main()
