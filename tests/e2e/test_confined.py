"""The program under test writes nowhere but its test's scratch folder.

The tests hand it more than that on purpose: the folder around its scratch
folder, and the root of the machine. Everything outside the scratch folder
must stay as it was, and the run must report the renames it could not make.
"""

import os
import tempfile
import unittest

import harness
from harness import FAILED_PREFIX, File, TreeTestCase, build, read_tree


class Confinement(TreeTestCase):
    def setUp(self):
        super().setUp()
        # A folder beside the scratch folder, holding a name that every code
        # page folds to another one.
        self.outside = tempfile.mkdtemp(prefix="outside-", dir=os.path.dirname(self.root))
        self.addCleanup(harness.shutil.rmtree, self.outside, ignore_errors=True)
        build(self.outside, [File("out😀.txt")])
        self.before = read_tree(self.outside)

    def assertConfined(self, result):
        self.assertEqual(read_tree(self.outside), self.before, result.describe())
        if harness.emulated():
            # The 32-bit runner's chroot holds the scratch folder alone: what
            # lies beside it is not even there to be listed.
            self.assertNotIn("out😀.txt", result.text, result.describe())
            return
        self.assertIn(f"out😀.txt\n{FAILED_PREFIX}out__.txt\n", result.text, result.describe())

    def test_the_folder_around_the_scratch_folder(self):
        self.assertConfined(self.run_program([".."]))

    # The whole machine is walked once, by the Linux build without the
    # sanitizers: Wine and the sanitizers take too long over it, and the code
    # page changes nothing here. Its time grows with the machine's files.
    @unittest.skipIf(harness.under_wine() or harness.code_page() != 1252 or
                     os.environ.get("ANSIFOLD_SANITIZED") == "ON", "walked once")
    def test_the_root_of_the_machine(self):
        result = harness.Result(["/"], *harness.execute(
            harness.command(["/"]), self.root, harness.program_environment(), limit=900))
        self.assertConfined(result)


if __name__ == "__main__":
    unittest.main()
