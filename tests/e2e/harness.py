"""Starts the built ansifold on real trees and reads back what it did.

The program, the emulator that runs it (Wine for the Windows build) and the
locale come from the environment, so that a suite can be run by hand:

    ANSIFOLD_PROGRAM=build/native/ansifold python3 -m unittest test_runs

or through this file, as CTest does:

    python3 harness.py --program P [--emulator E] --lang ja_JP.UTF-8 test_runs

Every start of the program is confined (confine.py): only the scratch folder
of the test that runs it can be written (and under Wine, the suite's own
prefix and the wine server's folder). Wine renames in its server, which serves
every test of a suite: it is confined too, and admitted to each test's
scratch folder while that test runs.
"""

import atexit

import fcntl
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time
import unittest

MISSING_ARGUMENT = "引数が不足しています。\n"
FAILED_PREFIX = "->リネーム失敗: "
MOVED_PREFIX = "->"


# --- Configuration ----------------------------------------------------------


def program():
    path = os.environ.get("ANSIFOLD_PROGRAM")
    if not path:
        raise unittest.SkipTest("ANSIFOLD_PROGRAM is not set")
    return os.path.abspath(path)


def emulator():
    # Tests run in temporary folders: a relative path must not follow them.
    path = os.environ.get("ANSIFOLD_EMULATOR", "")
    return os.path.abspath(path) if os.sep in path else path


def under_wine():
    return bool(emulator())


def emulated():
    """The 32-bit program runs emulated, at a fraction of the speed: trees for
    it are kept small."""
    return "wine32" in os.path.basename(emulator())


def lang():
    return os.environ.get("ANSIFOLD_LANG") or os.environ.get("LANG") or "C.UTF-8"


def code_page():
    """The ANSI code page that the program works with, on Linux and Wine alike."""
    return 932 if lang().startswith("ja_JP") else 1252


def program_environment():
    env = dict(os.environ)
    for name in ("LC_ALL", "LC_CTYPE", "LANGUAGE"):
        env.pop(name, None)
    env["LANG"] = lang()
    if _scratch:
        env["TMPDIR"] = _scratch
    if under_wine():
        env.update(_wine.environment())
        # The 32-bit runner binds this folder into its chroot.
        env["ANSIFOLD_WINE32_BIND"] = _scratch or suite_folder()
    return env


# --- Confinement ------------------------------------------------------------

CONFINE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "confine.py")

# All scratch folders of a suite lie in one folder of its own, which holds
# nothing else. Made once, when the first test asks for it.
_suite = None


def suite_folder():
    global _suite
    if not _suite:
        _suite = tempfile.mkdtemp(prefix="ansifold-suite-")
        atexit.register(shutil.rmtree, _suite, ignore_errors=True)
    return _suite


# The scratch folder of the test that runs now: the one folder its program
# may write.
_scratch = None


def set_scratch(folder):
    global _scratch
    if _scratch:
        released, _scratch = _scratch, None
        _wine.release(released)
    if folder:
        _wine.admit(folder)
        _scratch = folder


def confined(command_line, writable):
    return [sys.executable, "-I", "-S", CONFINE,
            *[part for folder in writable for part in ("--writable", folder)], "--", *command_line]


def confined_to_scratch(command_line):
    """command_line, confined to the scratch folder of the running test (and
    under Wine, to what Wine needs to start)."""
    if not _scratch:
        raise AssertionError("the program runs only in a test's scratch folder")
    return confined(command_line, [_scratch, *_wine.writable()])


def command(arguments, runner=()):
    """The command line that starts the program with arguments, confined;
    runner (a command that starts another, such as valgrind) goes between the
    confinement and the program."""
    prefix = [emulator()] if under_wine() else []
    return confined_to_scratch(list(runner) + prefix + [program()] + list(arguments))


def refuse_unconfined():
    """Ends the process when the program could not be confined here."""
    probe = subprocess.run(confined(["true"], [suite_folder()]), capture_output=True)
    if probe.returncode != 0:
        sys.exit("refusing to run the program: " +
                 probe.stderr.decode(errors="replace").strip())


def _temp_contents(folder, names):
    """Everything in a user's Temp folder of a Wine prefix, for copytree to
    leave out."""
    user = os.path.dirname(folder)
    if os.path.basename(folder) == "Temp" and os.path.basename(os.path.dirname(user)) == "users":
        return names
    return []


class WineServer:
    """The suite's own prefix, copied from the build's, and its own wine
    server, started where only its folder (the prefix, and the server's
    folder, which Debian's Wine makes in TMPDIR) can be written, and admitted
    to one test's scratch folder at a time."""

    def __init__(self):
        self.folder = None
        self.server = None

    def prefix(self):
        return os.path.join(self.folder, "prefix")

    def writable(self):
        self.start()
        return [self.folder] if self.folder else []

    def environment(self):
        """Where the programs find the prefix and, in TMPDIR, the server."""
        self.start()
        return {"WINEPREFIX": self.prefix(), "ANSIFOLD_WINE32_PREFIX": self.prefix(),
                "TMPDIR": self.folder}

    def start(self):
        if self.folder or not under_wine():
            return
        # The build's prefix is made (or kept) by a start of Wine's own
        # command interpreter, not of the program under test.
        env = {key: value for key, value in os.environ.items()
               if key not in ("WINEPREFIX", "ANSIFOLD_WINE32_PREFIX", "TMPDIR")}
        suite = suite_folder()
        build = os.path.join(os.path.dirname(emulator()), "..", "build",
                             "wine32prefix" if emulated() else "wineprefix")
        env["ANSIFOLD_WINE32_PREFIX"] = env["WINEPREFIX"] = os.path.abspath(build)
        subprocess.run([emulator(), "cmd", "/c", "exit", "0"], env=env, cwd=suite,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600)
        self.folder = tempfile.mkdtemp(prefix="ansifold-wine-", dir="/tmp")
        atexit.register(shutil.rmtree, self.folder, ignore_errors=True)
        self.copy_prefix(os.path.abspath(build))
        env.update(WINEPREFIX=self.prefix(), ANSIFOLD_WINE32_PREFIX=self.prefix(),
                   TMPDIR=self.folder)
        writable = [self.folder]
        self.server = subprocess.Popen(confined([emulator(), "--server"], writable), env=env,
                                       cwd=self.folder, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        atexit.register(self.stop)
        # Debian's Wine names the server's folder in the prefix.
        deadline = time.monotonic() + 120
        while not self.serving():
            if self.server.poll() is not None or time.monotonic() > deadline:
                raise AssertionError("the suite's wine server did not start")
            time.sleep(0.05)
        # Its first program starts the services that the programs after it
        # find running.
        subprocess.run(confined([emulator(), "cmd", "/c", "exit", "0"], writable), env=env,
                       cwd=self.folder, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600)

    def serving(self):
        """Whether the server listens: Debian's Wine names the server's
        folder in the prefix."""
        try:
            with open(os.path.join(self.prefix(), "wineserver")) as named:
                folder = os.path.join(self.folder, named.read().strip())
            return any(os.path.exists(os.path.join(folder, name, "socket"))
                       for name in os.listdir(folder) if name.startswith("server-"))
        except OSError:
            return False

    def copy_prefix(self, build):
        """The build's prefix, its files under drive_c linked rather than
        copied (hundreds of megabytes; Wine does not write them in place).
        What the users' Temp folders hold is left out: the unit tests run in
        the build's prefix, and make and remove folders there while a suite
        copies it."""
        os.mkdir(self.prefix())
        for name in os.listdir(build):
            if name in (".lock", "wineserver"):
                continue
            source = os.path.join(build, name)
            if name == "drive_c":
                shutil.copytree(source, os.path.join(self.prefix(), name), symlinks=True,
                                copy_function=os.link, ignore=_temp_contents)
            else:
                subprocess.run(["cp", "-a", source, self.prefix()], check=True)

    def admit(self, folder):
        self.start()
        if self.server:
            self._confine(["--admit", str(self.server.pid), folder])

    def release(self, folder):
        if self.server:
            self._confine(["--release", str(self.server.pid), folder])

    @staticmethod
    def _confine(arguments):
        completed = subprocess.run([sys.executable, "-I", "-S", CONFINE, *arguments],
                                   capture_output=True)
        if completed.returncode != 0:
            raise AssertionError(completed.stderr.decode(errors="replace"))

    def stop(self):
        self.server.terminate()
        try:
            self.server.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.server.kill()


_wine = WineServer()


def timeout():
    # The first start under Wine may have to create the prefix.
    return 240 if under_wine() else 60


# --- Running ----------------------------------------------------------------


class Result:
    def __init__(self, arguments, code, stdout, stderr):
        self.arguments = arguments
        self.code = code
        self.stdout = stdout
        self.stderr = stderr

    @property
    def text(self):
        """Standard output as text, after checking its byte form (see decode)."""
        return decode(self.stdout)

    @property
    def errors(self):
        """Standard error as text, in the same form as standard output."""
        return decode(self.stderr)

    @property
    def records(self):
        return parse_records(self.text)

    def describe(self):
        try:
            out = self.text
        except AssertionError as error:
            out = str(error)
        try:
            err = self.errors
        except AssertionError as error:
            err = str(error)
        return (f"arguments {self.arguments!r}, exit code {self.code} ({who_ended(err)})\n"
                f"stdout:\n{out[:4000]}\nstderr:\n{err[:4000]}")


# The first words of what the confinement, the runners, Wine's loader and its
# server say when they, not the program, fail.
STARTER_PREFIXES = ("confine:", "wine32-run:", "wine:", "wineserver:", "err:", "qemu")


def who_ended(stderr):
    """Whether the exit code is the program's own, or Wine (or what starts
    it) failed: a test that fails under Wine says which."""
    said = [line for line in stderr.splitlines() if line.startswith(STARTER_PREFIXES)]
    if said:
        return "the program's start failed: " + "; ".join(said[:3])
    return "the program's own" if not under_wine() else "the program's own; Wine said nothing"


def execute(command_line, cwd, env, stdin=None, limit=None):
    """Runs a command to its end; stdin is None (/dev/null), bytes, or a file
    path. Returns (exit code, stdout, stderr). The output goes to files, not
    pipes: a wine server that starts along with a Windows program inherits its
    handles and would keep a pipe open for as long as it lasts."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        options = dict(cwd=cwd, env=env, stdout=out, stderr=err,
                       timeout=limit or timeout())
        if stdin is None:
            completed = subprocess.run(command_line, stdin=subprocess.DEVNULL, **options)
        elif isinstance(stdin, bytes):
            completed = subprocess.run(command_line, input=stdin, **options)
        else:
            with open(stdin, "rb") as source:
                completed = subprocess.run(command_line, stdin=source, **options)
        out.seek(0)
        err.seek(0)
        return completed.returncode, out.read(), err.read()


def run(arguments, cwd, stdin=None):
    """Runs the program; stdin as for execute."""
    result = Result(arguments, *execute(command(arguments), cwd, program_environment(), stdin))
    if not_started(result):
        result = Result(arguments, *execute(command(arguments), cwd, program_environment(), stdin))
    return result


def not_started(result):
    """Whether Wine ended a start with 1 before the program wrote a byte, as it
    does under load about once in several thousand starts. The program itself
    never ends with 1 without saying why, so a start that does so twice in a
    row still fails its test."""
    return under_wine() and result.code == 1 and not result.stdout and not result.stderr


def start(arguments, cwd):
    """Starts the program with piped output, for tests that signal it mid-run."""
    return subprocess.Popen(command(arguments), cwd=cwd, env=program_environment(),
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)


def stop_when_blocked(process):
    """Waits until the program blocks on its full output pipe, stops it
    (SIGSTOP) and returns how many bytes wait in the pipe."""
    pipe = process.stdout.fileno()
    waiting, steady, deadline = -1, 0, time.monotonic() + timeout()
    while steady < 10:
        if process.poll() is not None:
            raise AssertionError("the run ended before its output filled the pipe")
        if time.monotonic() > deadline:
            raise AssertionError("the run never blocked on its output")
        time.sleep(0.02)
        last = waiting
        waiting = struct.unpack("i", fcntl.ioctl(pipe, termios.FIONREAD, b"\0" * 4))[0]
        steady = steady + 1 if waiting == last and waiting > 16384 else 0
    os.kill(process.pid, signal.SIGSTOP)
    while _state(process.pid) != "T":
        time.sleep(0.01)
    return waiting


def _state(pid):
    with open(f"/proc/{pid}/stat") as f:
        return f.read().rsplit(")", 1)[1].split()[0]


def encode(text):
    """The bytes of redirected output that text stands for: raw UTF-16LE from
    a Windows program, UTF-8 from the Linux one, where a lone surrogate
    U+DC80-U+DCFF stands for a byte of a name that is not UTF-8, as
    os.fsencode reads names."""
    if under_wine():
        return text.encode("utf-16-le", errors="surrogatepass")
    return text.encode("utf-8", errors="surrogateescape")


def decode(output):
    """Redirected output as text, after checking its byte form: as encode
    gives it, no byte-order mark, lone line feeds."""
    if under_wine():
        if len(output) % 2:
            raise AssertionError(f"odd byte count in output: {output!r}")
        text = output.decode("utf-16-le", errors="surrogatepass")
    else:
        text = output.decode("utf-8", errors="surrogateescape")
    if text.startswith("\ufeff"):
        raise AssertionError(f"byte-order mark in output: {text!r}")
    if "\r" in text:
        raise AssertionError(f"carriage return in output: {text!r}")
    return text


def summary(renamed, kept, failed, dry_run=False):
    """The line on standard error after a run's last entry, in the language
    of --help."""
    if code_page() == 932:
        if dry_run:
            return (f"ansifold: 名前が変わる項目 {renamed}、そのままの項目 {kept}、"
                    f"失敗する項目 {failed} (--dry-run)\n")
        return f"ansifold: 名前を変えた項目 {renamed}、そのままの項目 {kept}、失敗した項目 {failed}\n"
    if dry_run:
        return (f"ansifold: {renamed} would be renamed, {kept} would keep their name, "
                f"{failed} would fail\n")
    return f"ansifold: {renamed} renamed, {kept} kept their name, {failed} failed\n"


# --- Output records ---------------------------------------------------------


def moved(name):
    return ("moved", name)


def failed(name):
    return ("failed", name)


FOLD_FAILED = ("fold-failed",)


def parse_records(text):
    """Splits output into (old name, outcome) records."""
    if not text:
        return []
    if not text.endswith("\n"):
        raise AssertionError(f"output does not end in a line feed: {text!r}")
    lines = text[:-1].split("\n")
    records = []
    i = 0
    while i < len(lines):
        name = lines[i]
        if name.startswith(MOVED_PREFIX):
            raise AssertionError(f"outcome line {name!r} without a name line in {text!r}")
        following = lines[i + 1] if i + 1 < len(lines) else None
        if following is not None and following.startswith(FAILED_PREFIX):
            records.append((name, failed(following[len(FAILED_PREFIX):])))
            i += 2
        elif following is not None and following.startswith(MOVED_PREFIX):
            records.append((name, moved(following[len(MOVED_PREFIX):])))
            i += 2
        else:
            records.append((name, FOLD_FAILED))
            i += 1
    return records


def report_code(text):
    """The exit code that a finished run's report calls for: 2 when some
    entry kept its name against the fold (the failure line, or no outcome
    line at all), else 0."""
    return 2 if any(outcome[0] != "moved" for _, outcome in parse_records(text)) else 0


def render_records(records):
    lines = []
    for name, outcome in records:
        lines.append(name + "\n")
        if outcome[0] == "moved":
            lines.append(MOVED_PREFIX + outcome[1] + "\n")
        elif outcome[0] == "failed":
            lines.append(FAILED_PREFIX + outcome[1] + "\n")
    return "".join(lines)


# --- Trees ------------------------------------------------------------------


class Node:
    """An entry to create, with the outcome that a run should report for it.

    name is the name on disk (a str; on Linux a lone surrogate stands for a
    byte that is not UTF-8, as os.fsencode reads it); shown is the name that
    the program prints, when it differs.
    """

    def __init__(self, kind, name, outcome, data=None, children=(), target=None,
                 shown=None):
        self.kind = kind
        self.name = name
        self.outcome = outcome if outcome is not None else moved(shown or name)
        self.data = data if data is not None else name.encode("utf-8", "surrogatepass")
        self.children = list(children)
        self.target = target
        self.shown = shown or name

    @property
    def walked(self):
        return self.kind == "dir"

    def shown_names(self):
        names = {self.shown}
        if self.walked:
            for child in self.children:
                names |= child.shown_names()
        return names

    def name_after(self, handled):
        if handled and self.outcome[0] == "moved":
            return self.outcome[1]
        return self.name


def File(name, outcome=None, data=None, shown=None):
    return Node("file", name, outcome, data=data, shown=shown)


def Dir(name, *children, outcome=None, shown=None):
    return Node("dir", name, outcome, children=children, shown=shown)


def Link(name, target, outcome=None):
    return Node("link", name, outcome, target=target)


def build(root, nodes):
    for node in nodes:
        path = os.path.join(root, node.name)
        if node.kind == "file":
            with open(path, "wb") as f:
                f.write(node.data)
        elif node.kind == "dir":
            os.mkdir(path)
            build(path, node.children)
        else:
            os.symlink(node.target, path)


def read_tree(root, skip=None):
    """The tree on disk: name -> file bytes, a dict for a directory, or
    ("link", target) for a symbolic link, which is not followed; the entry
    skip of root (such as a folder of FIFOs, which would block a read) is
    left out."""
    tree = {}
    for name in os.listdir(root):
        if name == skip:
            continue
        path = os.path.join(root, name)
        if os.path.islink(path):
            tree[name] = ("link", os.readlink(path))
        elif os.path.isdir(path):
            tree[name] = read_tree(path)
        else:
            with open(path, "rb") as f:
                tree[name] = f.read()
    return tree


def tree_after(nodes, handled=lambda node: True):
    """The tree that should be on disk after a run that handled the nodes for
    which handled(node) holds, and everything below them."""
    tree = {}
    for node in nodes:
        done = handled(node)
        name = node.name_after(done)
        if name in tree:
            raise ValueError(f"two entries would end up as {name!r}")
        if node.kind == "file":
            tree[name] = node.data
        elif node.kind == "dir":
            tree[name] = tree_after(node.children, lambda child: done)
        else:
            tree[name] = ("link", node.target)
    return tree


def walk_records(nodes):
    """The records of a walk over nodes in the order given, for trees whose
    order the file system cannot change (no directory with two entries)."""
    records = []
    for node in nodes:
        if node.walked:
            records += walk_records(node.children)
        records.append((node.shown, node.outcome))
    return records


def match_walk(records, groups):
    """Checks that records are exactly the depth-first walk of the nodes.

    groups is a list of lists of nodes: the groups come in their order (the
    arguments), the nodes inside a group and the entries of each directory in
    any order, every directory's entries as one block right before its own
    record. Names must be unique inside a group.
    """
    position = 0
    for group in groups:
        position = _match_siblings(records, position, group)
    if position != len(records):
        raise AssertionError(f"unexpected records from {position}: {records[position:]!r}")


def _match_siblings(records, position, nodes):
    remaining = list(nodes)
    while remaining:
        if position >= len(records):
            missing = sorted(n for node in remaining for n in node.shown_names())
            raise AssertionError(f"output ends before the records of {missing!r}")
        name = records[position][0]
        owner = next((node for node in remaining if name in node.shown_names()), None)
        if owner is None:
            raise AssertionError(
                f"record {records[position]!r} at {position} belongs to none of "
                f"{sorted(node.shown for node in remaining)!r} (records {records!r})")
        remaining.remove(owner)
        position = _match_node(records, position, owner)
    return position


def _match_node(records, position, node):
    if node.walked:
        position = _match_siblings(records, position, node.children)
    if position >= len(records):
        raise AssertionError(f"output ends before the record of {node.shown!r}")
    expected = (node.shown, node.outcome)
    if records[position] != expected:
        raise AssertionError(
            f"record {position} is {records[position]!r}, expected {expected!r} "
            f"(records {records!r})")
    return position + 1


# --- Test case base -----------------------------------------------------------


class TreeTestCase(unittest.TestCase):
    """A test with a temporary working folder, removed afterwards."""

    maxDiff = None

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="ansifold-e2e-", dir=suite_folder())
        self.addCleanup(shutil.rmtree, self.root, ignore_errors=True)
        set_scratch(self.root)
        self.addCleanup(set_scratch, None)

    def folder(self, *parts):
        path = os.path.join(self.root, *parts)
        os.makedirs(path, exist_ok=True)
        return path

    def run_program(self, arguments, cwd=None, stdin=None):
        return run(arguments, cwd or self.root, stdin)

    def assertExit(self, result, code):
        self.assertEqual(result.code, code, result.describe())

    def assertWalk(self, result, groups, code=0):
        """The run ended with code and printed exactly the walk of groups."""
        self.assertExit(result, code)
        try:
            match_walk(result.records, groups)
        except AssertionError as error:
            self.fail(f"{error}\n{result.describe()}")

    def assertOutput(self, result, text, code=0):
        self.assertExit(result, code)
        self.assertEqual(result.stdout, encode(text), result.describe())

    def assertTree(self, path, tree):
        self.assertEqual(read_tree(path), tree)


# --- Command line -------------------------------------------------------------


def main(argv):
    arguments = list(argv[1:])
    names = []
    while arguments:
        option = arguments.pop(0)
        if option in ("--program", "--emulator", "--lang", "--launcher"):
            variable = {"--program": "ANSIFOLD_PROGRAM", "--emulator": "ANSIFOLD_EMULATOR",
                        "--lang": "ANSIFOLD_LANG", "--launcher": "ANSIFOLD_LAUNCHER"}[option]
            os.environ[variable] = arguments.pop(0)
        else:
            names.append(option)
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    refuse_unconfined()
    print(f"program {program()} emulator {emulator() or '-'} LANG {lang()} "
          f"code page {code_page()}", flush=True)
    suite = unittest.defaultTestLoader.loadTestsFromNames(names)
    outcome = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if outcome.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
