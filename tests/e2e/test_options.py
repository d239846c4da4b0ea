"""The options that change a run: a dry run reports exactly what the run
will do and renames nothing, a log lets an undo bring the tree back byte for
byte, and --help and --version rename nothing. The undo renames back only
the entries that the run renamed, where it renamed them, whatever took
their place or the place of a directory on the way."""

import errno
import os
import random
import resource
import signal
import subprocess
import sys
import threading
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


def limited_run(arguments, cwd, limits):
    """Runs the program with limits set (in the child, before it starts)."""
    completed = subprocess.run(
        harness.command(arguments), cwd=cwd, env=harness.program_environment(),
        stdin=subprocess.DEVNULL, capture_output=True, preexec_fn=limits,
        timeout=harness.timeout())
    return harness.Result(arguments, completed.returncode, completed.stdout, completed.stderr)


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

    def test_undo_renames_back_only_the_entries_that_the_run_renamed(self):
        # By the undo, b__ is gone, c😀 taken, d__ another file, e__ a link
        # (which Wine would move the target of), and on Linux f__ a file made
        # after f__ was removed, which the system gives the same inode: only
        # a__ is renamed back.
        names = ["a😀", "b😀", "c😀", "d😀", "e😀"] + ([] if harness.under_wine() else ["f😀"])
        build(self.root, [File(name) for name in names] + [File("kept")])
        self.assertExit(self.run_program(["--log=run.log"] + names), 0)
        os.rename(self.path("b__"), self.path("elsewhere"))
        self.write("c😀", b"new")
        os.rename(self.path("d__"), self.path("d.kept"))
        self.write("d__", b"other")
        os.remove(self.path("e__"))
        os.symlink("kept", self.path("e__"))
        if not harness.under_wine():
            os.remove(self.path("f__"))
            self.write("f__", b"made again")

        result = self.run_program(["--undo=run.log"])

        failed = harness.FAILED_PREFIX
        self.assertOutput(result, "".join(f"{name[0]}__\n{failed}{name}\n" for name in names[:0:-1])
                          + "a__\n->a😀\n", code=2)
        tree = read_tree(self.root)
        self.assertEqual((tree["c😀"], tree["d__"], tree["e__"], tree["kept"]),
                         (b"new", b"other", ("link", "kept"), b"kept"))

    def test_logs_with_nothing_to_undo(self):
        # A log killed before its first line is empty.
        build(self.root, [File("empty.log", data=b""),
                          File("header.log", data=b"ansifold log 2\n"),
                          File("cut.log", data=b"ansifold log 2\n\nR\t0000")])
        for log in ("empty.log", "header.log", "cut.log"):
            with self.subTest(log=log):
                self.assertOutput(self.run_program([f"--undo={log}"]), "")

    def test_the_run_leaves_its_own_log_alone(self):
        # Wherever the log is, the run neither renames it nor reports it, so
        # that a dry run, before the log is there, says what the run does.
        build(self.root, [Dir("t😀", File("a😀"), File("ログ😀.log", data=b""))])
        before = read_tree(self.root)
        for directory in ("t😀", "t__"):
            with self.subTest(directory=directory):
                arguments = [f"--log={directory}/ログ😀.log", directory]
                preview = self.run_program(["--dry-run"] + arguments)
                self.assertExit(preview, 0)
                self.assertOutput(self.run_program(arguments), preview.text)
                self.assertNotIn("ログ", preview.text)
        undo = self.run_program(["--undo=t__/ログ😀.log"])
        self.assertExit(undo, 0)
        log = read_tree(self.root)["t😀"]["ログ😀.log"]
        self.assertEqual(read_tree(self.root), {"t😀": dict(before["t😀"], **{"ログ😀.log": log})})

    def path(self, name):
        return os.path.join(self.root, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)


class Anchored(TreeTestCase):
    """The undo reaches every directory from where the run resolved its
    names, one name at a time, never through a link, and only the
    directories that the run renamed in."""

    def test_directories_swapped_after_the_run_lead_the_undo_nowhere(self):
        # The directory s moved outside and a link to it put in its place;
        # the argument's parent swapped for a directory of the names that
        # the log holds, with a hard link to the renamed file; and the log's
        # anchor given as reached through a link to the test's folder, which
        # the 32-bit runner mounts (Wine shows a mount point as a junction):
        # the entries are the ones the run renamed, but no longer where it did.
        for swap in ("link", "parent", "anchor"):
            with self.subTest(swap=swap):
                root = self.folder(swap)
                build(root, [Dir("p", Dir("t😀", Dir("s", File("f😀")))), Dir("outside")])
                self.assertExit(self.run_program(["--log=run.log", "p/t😀"], cwd=root), 0)
                if swap == "link":
                    os.rename(os.path.join(root, "p/t__/s"), os.path.join(root, "outside/s"))
                    os.symlink(os.path.join(root, "outside/s"), os.path.join(root, "p/t__/s"))
                elif swap == "parent":
                    os.rename(os.path.join(root, "p"), os.path.join(root, "p.real"))
                    build(root, [Dir("p", Dir("t😀", Dir("s")))])
                    os.link(os.path.join(root, "p.real/t__/s/f__"),
                            os.path.join(root, "p/t😀/s/f__"))
                else:
                    os.symlink(".", os.path.join(self.root, "again"))
                    with open(os.path.join(root, "run.log"), "rb") as f:
                        log = f.read()
                    sep = b"/" if b"/anchor/" in log else b"\\\\"
                    with open(os.path.join(root, "run.log"), "wb") as f:
                        f.write(log.replace(sep + b"anchor", sep + b"again" + sep + b"anchor"))
                kept = "outside" if swap == "link" else "p"
                swapped = read_tree(os.path.join(root, kept))

                result = self.run_program(["--undo=run.log"], cwd=root)

                self.assertIn(("f__", failed("f😀")), result.records, result.describe())
                self.assertEqual(read_tree(os.path.join(root, kept)), swapped)

    @native_only
    def test_a_tree_deeper_than_any_path_is_undone_from_a_log_that_grows_with_it(self):
        # 300 levels: paths of some 9,000 bytes, and few open files allowed.
        levels = [f"{i:03}😀" + "x" * 20 for i in range(300)]
        self.addCleanup(subprocess.run, ["rm", "-rf", "--", self.root])
        descriptor = os.open(self.root, os.O_RDONLY)
        for name in levels:
            os.mkdir(name, dir_fd=descriptor)
            below = os.open(name, os.O_RDONLY, dir_fd=descriptor)
            os.close(descriptor)
            descriptor = below
        os.close(os.open("f😀", os.O_CREAT | os.O_WRONLY, 0o600, dir_fd=descriptor))
        os.close(descriptor)
        few = lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (64, 64))

        run = limited_run(["--log=run.log", levels[0]], self.root, few)
        self.assertExit(run, 0)
        self.assertEqual([outcome[0] for _, outcome in run.records], ["moved"] * 301)
        # Each directory once: quadratic growth would take megabytes.
        self.assertLess(os.path.getsize(os.path.join(self.root, "run.log")), 301 * 300)
        undo = limited_run(["--undo=run.log"], self.root, few)

        self.assertExit(undo, 0)
        self.assertEqual([outcome for _, outcome in undo.records],
                         [moved(name) for name in levels] + [moved("f😀")], undo.describe())



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
            # A page that Windows knows but cannot fold through (UTF-7 takes
            # no default character).
            (["--code-page=65000", "a😀"], "--code-page=65000"),
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
        # A log of an earlier version; records that this version's writer
        # would not write (a relative path, a name with a NUL); what is no
        # file of its own (a directory, and on Linux a link, a FIFO and a
        # device).
        anchor = b"\nA\t00000001.0000000000000001\t1\t0000fe01:0000000000000010:0000000000000001\t"
        root = b"C:\\\\d" if harness.under_wine() else b"/d"
        build(self.root, [File("a😀"), File("foreign.txt", data=b"some text\n"),
                          File("older.log", data=b"ansifold log 1\n/x/a\t/x/b\n"),
                          File("relative.log", data=b"ansifold log 2\n" + anchor + b"d/e\n"),
                          File("nul.log", data=b"ansifold log 2\n" + anchor + root + b"\n"
                               b"\nR\t00000001.0000000000000001\t1\t1\t0000fe01:0000000000000011:"
                               b"0000000000000001\ta\\u0000b\tc\n"),
                          File("good.log", data=b"ansifold log 2\n"), Dir("folder")])
        unusable = ["older.log", "relative.log", "nul.log", "folder"]
        if not harness.under_wine():
            os.symlink("good.log", os.path.join(self.root, "link.log"))
            os.mkfifo(os.path.join(self.folder("special"), "fifo"))  # which read_tree would read
            unusable += ["link.log", "special/fifo", "/dev/null"]
        before = read_tree(self.root, skip="special")
        # The message names the file; where the system refused it, it gives
        # the system's reason in words (natively strerror's).
        cases = [
            (["--log=missing/run.log", "a😀"], "missing/run.log", errno.ENOENT),
            (["--log=foreign.txt", "a😀"], "foreign.txt", None),
            (["--undo=missing.log"], "missing.log", errno.ENOENT),
            (["--undo=foreign.txt"], "foreign.txt", None),
            (["--undo=good.log", "a😀"], "good.log", None),
            (["a😀", "--undo=good.log"], "good.log", None),
        ] + [([option + name] + (["a😀"] if option == "--log=" else []), name, None)
             for name in unusable for option in ("--log=", "--undo=")
             if not (option == "--log=" and name in ("relative.log", "nul.log"))]
        for arguments, file, reason in cases:
            with self.subTest(arguments=arguments):
                result = self.run_program(arguments)
                self.assertOutput(result, "", code=1)
                self.assertIn(file, result.errors, result.describe())
                if reason is not None and not harness.under_wine():
                    self.assertIn(strerror(reason), result.errors, result.describe())
                self.assertEqual(read_tree(self.root, skip="special"), before)

    @native_only
    def test_a_log_cut_short_is_appended_to_and_still_undoes_both_runs(self):
        # The file size limit cuts the log's fourth record short: its rename
        # is never made, and the undo leaves it out. A later run appends a
        # record of its own after it, which the cut record does not take in.
        build(self.root, [Dir("d", *[File(f"f{i:02}😀") for i in range(10)]), File("e😀")])
        before = read_tree(self.root)
        limit = self.size_before_fourth_rename(["--log=run.log", "d"]) + 40

        def limited():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

        result = limited_run(["--log=run.log", "d"], self.root, limited)

        self.assertExit(result, 1)
        self.assertIn("run.log", result.errors, result.describe())
        self.assertIn(strerror(errno.EFBIG), result.errors, result.describe())
        self.assertEqual([outcome[0] for _, outcome in result.records],
                         ["moved"] * 3 + ["failed"], result.describe())
        self.assertEqual(os.path.getsize(os.path.join(self.root, "run.log")), limit)
        self.assertExit(self.run_program(["--log=run.log", "e😀"]), 0)
        self.assertExit(self.run_program(["--undo=run.log"]), 0)
        os.remove(os.path.join(self.root, "run.log"))
        self.assertTree(self.root, before)

    def size_before_fourth_rename(self, arguments):
        """Where a run's fourth record would start in a new log: the run is
        made, and undone."""
        self.assertExit(self.run_program(arguments), 0)
        self.assertExit(self.run_program(["--undo=run.log"]), 0)
        with open(os.path.join(self.root, "run.log"), "rb") as f:
            log = f.read()
        os.remove(os.path.join(self.root, "run.log"))
        position = -1
        for _ in range(4):
            position = log.index(b"\nR\t", position + 1)
        return position


class DryRunEqualsRun(TreeTestCase):
    """Differential: over random trees and random arguments, repeated and
    overlapping ones too ("t t", "t/s t", "ā ā/x", a name and what it folds
    to, "f/"), the dry run prints what the run prints, byte for byte, and the undo
    of the run's log puts the tree back as it was."""

    # Names that fold alike, onto one another, or not at all; on Linux also
    # names that differ from others in case alone, which a Windows volume
    # cannot hold side by side.
    NAMES = ["a", "ā", "Ａ", "b😀", "b😁", "b__", "c", "ē", "e", "d😀x", "d_x"] + (
        [] if harness.under_wine() else ["A", "Ā"])
    ROUNDS = 6 if harness.emulated() else 30 if harness.under_wine() else 100

    def test_random_trees(self):
        for number in range(self.ROUNDS):
            with self.subTest(round=number):
                generator = random.Random(number)
                root = self.folder(f"r{number}")
                nodes = self.random_nodes(generator, 3)
                build(root, nodes)
                before = read_tree(root)
                arguments = self.random_arguments(generator, nodes)
                # On Linux, every other round as for a caseless volume, which
                # also checks folds against the other names in any case.
                if not harness.under_wine() and number % 2:
                    arguments = [f"--code-page={harness.code_page()}"] + arguments

                preview = self.run_program(["--dry-run", "--log=run.log"] + arguments, cwd=root)
                self.assertTree(root, before)
                run = self.run_program(["--log=run.log"] + arguments, cwd=root)
                self.assertEqual(run.stdout, preview.stdout,
                                 f"{arguments}\n{preview.describe()}\n{run.describe()}")
                undo = self.run_program(["--undo=run.log"], cwd=root)
                self.assertExit(undo, 0)
                os.remove(os.path.join(root, "run.log"))
                self.assertTree(root, before)

    def random_nodes(self, generator, depth):
        names = generator.sample(self.NAMES, generator.randint(0, 4))
        return [Dir(name, *self.random_nodes(generator, depth - 1))
                if depth > 1 and generator.random() < 0.4 else File(name) for name in names]

    def random_arguments(self, generator, nodes):
        """Paths of entries and of what they may fold to, top level or
        below, each perhaps twice."""
        paths = []

        def collect(prefix, level):
            for node in level:
                path = prefix + node.name
                # A trailing slash keeps an argument to directories.
                paths.extend([path, path.replace("😀", "__").replace("ā", "a"), path + "/"])
                if node.kind == "dir":
                    collect(path + "/", node.children)

        collect("", nodes)
        chosen = generator.choices(paths, k=generator.randint(1, 4)) if paths else ["a"]
        return chosen + generator.sample(chosen, generator.randint(0, len(chosen)))


class SharedLog(TreeTestCase):
    def test_runs_that_append_at_once_are_each_undone(self):
        # Pairs that fold alike: one of each pair fails, and withdraws its
        # own record, whatever the other run wrote meanwhile.
        count = 10 if harness.emulated() else 300
        for tree in ("one", "two"):
            build(self.folder(tree), [Dir(f"d{k}😀", *[
                File(f"{tree}{k}-{i:03}{face}") for i in range(count) for face in "😀😁"])
                for k in range(2)])
        before = read_tree(self.root)
        processes = [harness.start(["--log=shared.log", tree], self.root) for tree in ("one", "two")]
        outputs = [None, None]

        def finish(index):
            outputs[index] = processes[index].communicate(timeout=harness.timeout())

        threads = [threading.Thread(target=finish, args=(index,)) for index in (0, 1)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()

        # Each run had a name taken by its pair: exit code 2.
        self.assertEqual([process.returncode for process in processes], [2, 2], outputs)
        with open(os.path.join(self.root, "shared.log"), "rb") as f:
            log = f.read()
        self.assertEqual(log.count(b"ansifold log"), 1)
        undo = self.run_program(["--undo=shared.log"])
        self.assertExit(undo, 0)
        self.assertFalse([r for r in undo.records if r[1][0] != "moved"], undo.describe())
        self.assertTree(self.root, dict(before, **{"shared.log": log}))


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
