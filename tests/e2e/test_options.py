"""The options that change a run: a dry run reports exactly what the run
will do and renames nothing, a log lets an undo bring the tree back byte for
byte, and --help and --version rename nothing."""

import errno
import os
import resource
import signal
import subprocess
import sys
import unittest

import harness
from harness import MISSING_ARGUMENT, Dir, File, TreeTestCase, build, failed, moved, read_tree

native_only = unittest.skipIf(harness.under_wine(), "Linux build only")


def strerror(number):
    """The Linux program's words for an errno value: strerror's text in the
    program's locale."""
    script = ("import locale, os, sys; locale.setlocale(locale.LC_ALL, ''); "
              "print(os.strerror(int(sys.argv[1])), end='')")
    return subprocess.run([sys.executable, "-c", script, str(number)], check=True, text=True,
                          env=harness.program_environment(), capture_output=True).stdout


def sample():
    """Collisions in both code pages (two names that fold alike, a fold onto a
    name that is there), two that only Windows sees (a case apart, with a name
    that is there and with one that an earlier entry takes), a refused
    fold in 1252, three levels, and a repeated argument whose first handling
    frees its name. On Linux also names that are not UTF-8, and a tab and a
    line feed in the path of a renamed entry."""
    deep = Dir("s😀", Dir("t😀", File("deep😀.txt"), Dir("u😀", File("v😀.txt"))))
    tree = Dir("d😀", File("f😀.txt"), File("f😁.txt"), File("g😀.txt"), File("g__.txt"),
               File("Ａ.txt"), File("a.txt"), File("Ē.txt"), File("ｅ.txt"), File("a／b.txt"),
               deep)
    nodes = [tree, File("e😀"), File("e😁")]
    if not harness.under_wine():
        nodes.append(Dir("raw\udcff", File("in\udcfe.txt"), Dir("tab\tand\nlf", File("x😀"))))
    return nodes


def arguments_of(nodes):
    return [node.name for node in nodes] + ["e😀", "e__"]


class PreviewRunUndo(TreeTestCase):
    def test_dry_run_then_logged_run_then_undo(self):
        nodes = sample()
        build(self.root, nodes)
        before = read_tree(self.root)
        names = arguments_of(nodes)

        # Options after the names take effect; a dry run opens no log.
        preview = self.run_program(names + ["--dry-run", "--log=preview.log"])
        self.assertExit(preview, 2)
        self.assertTree(self.root, before)

        run = self.run_program(["--log=run.log"] + names)
        self.assertOutput(run, preview.text, code=2)
        self.assertNotEqual(read_tree(self.root), before)

        undo_preview = self.run_program(["--dry-run", "--undo=run.log"])
        self.assertExit(undo_preview, 0)
        undo = self.run_program(["--undo=run.log"])
        self.assertOutput(undo, undo_preview.text)
        with open(os.path.join(self.root, "run.log"), "rb") as f:
            log = f.read()
        renamed = [(new, moved(old)) for old, (kind, new) in run.records
                   if kind == "moved" and new != old]
        self.assertEqual(undo.records, renamed[::-1])
        self.assertTree(self.root, dict(before, **{"run.log": log}))

    def test_undo_never_replaces_and_reports_what_is_gone(self):
        # d__ is a link by now: renamed as itself, or under Wine, which would
        # move its target, kept with the failure line.
        build(self.root, [File("a😀"), File("b😀"), File("c😀"), File("d😀"), File("kept")])
        self.assertExit(self.run_program(["--log=run.log", "a😀", "b😀", "c😀", "d😀"]), 0)
        os.rename(os.path.join(self.root, "b__"), os.path.join(self.root, "elsewhere"))
        with open(os.path.join(self.root, "c😀"), "wb") as f:
            f.write(b"new")
        os.remove(os.path.join(self.root, "d__"))
        os.symlink("kept", os.path.join(self.root, "d__"))

        result = self.run_program(["--undo=run.log"])

        failed = harness.FAILED_PREFIX
        link = (f"d__\n{failed}d😀\n", "d__") if harness.under_wine() else ("d__\n->d😀\n", "d😀")
        self.assertOutput(result, f"{link[0]}c__\n{failed}c😀\nb__\n{failed}b😀\na__\n->a😀\n", code=2)
        tree = read_tree(self.root)
        self.assertEqual(tree["c😀"], b"new")
        self.assertEqual((tree[link[1]], tree["kept"]), (("link", "kept"), b"kept"))


class Refusals(TreeTestCase):
    """Whatever keeps an option from being carried out stops the run before
    anything is renamed, with a message on standard error and exit code 1."""

    def test_options_that_are_not_the_programs(self):
        # Long options are compared exactly, wherever they stand; each
        # refusal names the option, then gives the usage line.
        build(self.root, [File("a😀"), Dir("d😀", File("f😀"))])
        before = read_tree(self.root)
        usage = ("使い方: ansifold [オプション] 名前...\n" if harness.code_page() == 932
                 else "Usage: ansifold [options] name...\n")
        cases = [
            (["--dryrun", "a😀"], "--dryrun"),
            (["--DRY-RUN", "a😀"], "--DRY-RUN"),
            (["--dry-run=1", "a😀"], "--dry-run=1"),
            (["--dry-run=", "a😀"], "--dry-run="),
            (["--log", "a😀"], "--log"),
            (["--log=", "a😀"], "--log"),
            (["--undo="], "--undo"),
            (["a😀", "d😀", "--dryrun"], "--dryrun"),
            (["--dry-run", "a😀", "--log"], "--log"),
            (["--help", "--help=me"], "--help=me"),
            (["--version=2"], "--version=2"),
            (["--code-page=99", "a😀"], "--code-page=99"),
            (["--code-page=0x3a4", "a😀"], "--code-page=0x3a4"),
            (["a😀", "--code-page"], "--code-page"),
            (["--exclude=", "a😀"], "--exclude"),
        ]
        for arguments, named in cases:
            with self.subTest(arguments=arguments):
                result = self.run_program(arguments)
                self.assertOutput(result, "", code=1)
                first, *rest = result.errors.split("\n", 1)
                self.assertIn(named, first, result.describe())
                self.assertEqual(rest, [usage], result.describe())
                self.assertTree(self.root, before)

    def test_unusable_logs_and_undo_files(self):
        build(self.root, [File("a😀"), File("b😀"), File("foreign.txt", data=b"some text\n"),
                          File("damaged.log", data=b"ansifold log 1\nno tab here\n"),
                          File("moving.log", data=b"ansifold log 1\n/x/a\t/y/a\n"),
                          File("withdrawn.log", data=b"ansifold log 1\nfailed\n")])
        self.assertExit(self.run_program(["--log=good.log", "b😀"]), 0)
        before = read_tree(self.root)
        # The message names the file; where the system refused it, it gives
        # the system's reason in words (natively strerror's).
        cases = [
            (["--log=missing/run.log", "a😀"], "missing/run.log", errno.ENOENT),
            (["--log=foreign.txt", "a😀"], "foreign.txt", None),
            (["--undo=missing.log"], "missing.log", errno.ENOENT),
            (["--undo=foreign.txt"], "foreign.txt", None),
            (["--undo=damaged.log"], "damaged.log", None),
            (["--undo=moving.log"], "moving.log", None),
            (["--undo=withdrawn.log"], "withdrawn.log", None),
            (["--undo=damaged.log", "a😀"], "damaged.log", None),
            (["--undo=good.log", "a😀"], "good.log", None),
            (["a😀", "--undo=good.log"], "good.log", None),
        ]
        for arguments, file, reason in cases:
            with self.subTest(arguments=arguments):
                result = self.run_program(arguments)
                self.assertOutput(result, "", code=1)
                self.assertIn(file, result.errors, result.describe())
                if reason is not None and not harness.under_wine():
                    self.assertIn(strerror(reason), result.errors, result.describe())
                self.assertTree(self.root, before)

    @native_only
    def test_a_log_that_cannot_be_written_stops_the_run_and_still_undoes_it(self):
        # The file size limit cuts the log's fourth record short: its rename
        # is never made, and the undo leaves it out.
        build(self.root, [Dir("d", *[File(f"f{i:02}😀") for i in range(10)])])
        before = read_tree(self.root)
        header = len("ansifold log 1\n")
        record = len(f"{self.root}/d/f00😀\t{self.root}/d/f00__\n".encode())
        limit = header + 3 * record + record // 2

        def limited():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

        completed = subprocess.run(
            harness.command(["--log=run.log", "d"]), cwd=self.root,
            env=harness.program_environment(), stdin=subprocess.DEVNULL,
            capture_output=True, preexec_fn=limited, timeout=harness.timeout())
        result = harness.Result([], completed.returncode, completed.stdout, completed.stderr)

        self.assertExit(result, 1)
        self.assertIn("run.log", result.errors, result.describe())
        self.assertIn(strerror(errno.EFBIG), result.errors, result.describe())
        self.assertEqual([outcome[0] for _, outcome in result.records],
                         ["moved"] * 3 + ["failed"], result.describe())
        self.assertEqual(os.path.getsize(os.path.join(self.root, "run.log")), limit)
        self.assertExit(self.run_program(["--undo=run.log"]), 0)
        os.remove(os.path.join(self.root, "run.log"))
        self.assertTree(self.root, before)


@native_only
class CutShort(TreeTestCase):
    FOLDERS, FILES = 25, 100

    def test_a_log_of_a_run_ended_by_a_signal_undoes_it(self):
        for number in (signal.SIGTERM, signal.SIGKILL):
            with self.subTest(signal=number.name):
                cwd = self.folder(number.name)
                for folder in range(self.FOLDERS):
                    build(self.folder(number.name, "big"), [Dir(f"d{folder:03}😀", *[
                        File(f"file-{folder:03}-{i:04}-😀-longer.txt")
                        for i in range(self.FILES)])])
                before = read_tree(cwd)
                process = harness.start(["--log=run.log", "big"], cwd)
                self.addCleanup(process.kill)
                harness.stop_when_blocked(process)
                process.send_signal(number)
                os.kill(process.pid, signal.SIGCONT)
                process.communicate(timeout=harness.timeout())
                self.assertEqual(process.returncode, -number)
                self.assertNotEqual(read_tree(cwd), before)

                undo = self.run_program(["--undo=run.log"], cwd=cwd)
                self.assertExit(undo, 0)
                self.assertFalse([r for r in undo.records if r[1][0] != "moved"])
                os.remove(os.path.join(cwd, "run.log"))
                self.assertTree(cwd, before)


class CodePage(TreeTestCase):
    def test_names_fold_for_the_page_given_whatever_the_systems(self):
        for page, kana, accented in [("932", "あ__", "e__"), ("1252", "___", "é__"),
                                     ("65001", "あ😀", "é😀")]:
            with self.subTest(page=page):
                cwd = self.folder(page)
                build(cwd, [File("あ😀"), File("é😀")])
                result = self.run_program([f"--code-page={page}", "あ😀", "é😀"], cwd=cwd)
                self.assertOutput(result, f"あ😀\n->{kana}\né😀\n->{accented}\n")

    def test_a_fold_onto_another_entrys_name_in_another_case_fails(self):
        # The page given means a Windows volume, which takes such names for
        # one: on Linux too, and in the dry run. f😀 takes its fold first.
        walked = Dir("d", File("Ａ.txt", failed("A.txt")), File("a.txt"),
                     File("B😀", failed("B__")), File("b__"))
        named = [File("Ｅ.txt", failed("E.txt")), File("e.txt"), File("f😀", moved("f__")),
                 File("F😁", failed("F__"))]
        build(self.root, [walked] + named)
        arguments = ["--code-page=1252", "d"] + [node.name for node in named]
        preview = self.run_program(["--dry-run"] + arguments)
        self.assertWalk(preview, [[walked]] + [[node] for node in named], code=2)
        self.assertOutput(self.run_program(arguments), preview.text, code=2)

    def test_help_names_the_page_in_the_systems_language(self):
        result = self.run_program(["--help", "--code-page=936"])
        usage = "使い方: ansifold" if harness.code_page() == 932 else "Usage: ansifold"
        self.assertTrue(result.text.startswith(usage), result.describe())
        self.assertIn(" 936", result.text, result.describe())


class Exclude(TreeTestCase):
    def test_excluded_entries_are_neither_renamed_nor_walked_nor_printed(self):
        # Named on the command line too. Names match as the system compares
        # them: b😀.TMP is left alone only on Windows.
        build(self.root, [Dir("t😀", Dir(".git", File("ü😀")), File("a😀.tmp"),
                              File("b😀.TMP"), File("c😀")),
                          Dir(".git", File("ü😀")), File("a😀.tmp")])
        before = read_tree(self.root)
        upper = [] if harness.under_wine() else [File("b😀.TMP", moved("b__.TMP"))]
        walked = Dir("t😀", File("c😀", moved("c__")), *upper, outcome=moved("t__"))
        arguments = ["--exclude=.git", "t😀", ".git", "--exclude=*.tmp", "a😀.tmp"]

        preview = self.run_program(["--dry-run"] + arguments)
        self.assertWalk(preview, [[walked]])
        self.assertOutput(self.run_program(arguments), preview.text)

        after = dict(before, t__=before["t😀"])
        del after["t😀"]
        after["t__"]["c__"] = after["t__"].pop("c😀")
        if upper:
            after["t__"]["b__.TMP"] = after["t__"].pop("b😀.TMP")
        self.assertTree(self.root, after)


class HelpAndVersion(TreeTestCase):
    def test_print_and_rename_nothing(self):
        build(self.root, [File("a😀"), Dir("d😀", File("f😀"))])
        before = read_tree(self.root)
        usage = "使い方: ansifold" if harness.code_page() == 932 else "Usage: ansifold"
        cases = [
            (["--help"], usage),
            (["--help", "a😀", "d😀"], usage),
            (["--dry-run", "--log=x.log", "--help", "*"], usage),
            (["a😀", "d😀", "--help"], usage),
            (["a😀", "--version"], "ansifold 1.00\n"),
            (["--version", "a😀"], "ansifold 1.00\n"),
            (["--undo=nothing.log", "--version"], "ansifold 1.00\n"),
        ]
        if harness.under_wine():
            cases.append((["/?", "a😀"], usage))
        for arguments, start in cases:
            with self.subTest(arguments=arguments):
                result = self.run_program(arguments)
                self.assertExit(result, 0)
                self.assertTrue(result.text.startswith(start), result.describe())
                self.assertTree(self.root, before)

    def test_other_options_still_change_nothing(self):
        # Options of one dash (or "/" on Windows) before the names, as
        # scripts for the first versions pass them; "-x -x" ends them.
        build(self.root, [File("a😀"), File("-n😀"), File("--x😀")])
        short = ["/n", "/dry-run"] if harness.under_wine() else []
        self.assertOutput(self.run_program(["-n", ":x", "-dry-run"] + short + ["a😀"]),
                          "a😀\n->a__\n")
        self.assertOutput(self.run_program(["-n😀", "-n😀"]), "-n😀\n->-n__\n")
        # After a lone "--" every token is a name; "./--x" names one too.
        self.assertOutput(self.run_program(["--", "--x😀"]), "--x😀\n->--x__\n")
        self.assertOutput(self.run_program(["./--x__"]), "--x__\n->--x__\n")
        self.assertOutput(self.run_program(["--dry-run"]), MISSING_ARGUMENT, code=1)


if __name__ == "__main__":
    unittest.main()
