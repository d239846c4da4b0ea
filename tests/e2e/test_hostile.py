"""Hostile trees (under Wine only the swaps, the links and paths past
MAX_PATH, which mean something there): every byte in names, names of 255 bytes, folded
names that collide, directories that the run may not read or enter, entries
that come and go during the walk, directories swapped for links mid-run,
mounts inside the tree, links that loop, fifos, sockets, a directory of tens
of thousands of entries, a tree 2,000 levels deep and paths past the
system's limit. Whatever the tree, the run ends with exit code 0, no entry
is lost or replaced, nothing outside the named tree is touched, and every
printed outcome is what happened on disk."""

import collections
import os
import pwd
import resource
import shutil
import signal
import socket
import stat
import subprocess
import unittest

import harness
from harness import FAILED_PREFIX, FOLD_FAILED, MOVED_PREFIX, TreeTestCase, failed, moved

native_only = unittest.skipIf(harness.under_wine(), "Linux build only")

# --- Trees --------------------------------------------------------------------
# A tree is a dict: name (str or bytes) -> FILE, FIFO, SOCKET, ("link", target)
# or a dict for a directory. Every file holds its own path, so that no two
# files hold the same bytes.

FILE, FIFO, SOCKET = "file", "fifo", "socket"


def make(path, tree):
    for name, node in tree.items():
        entry = os.path.join(os.fsencode(path), os.fsencode(name))
        if isinstance(node, dict):
            os.mkdir(entry)
            make(entry, node)
        elif node == FILE:
            with open(entry, "xb") as f:
                f.write(entry)
        elif node == FIFO:
            os.mkfifo(entry)
        elif node == SOCKET:
            with socket.socket(socket.AF_UNIX) as s:
                s.bind(entry)
        else:
            os.symlink(node[1], entry)


Entry = collections.namedtuple("Entry", "parent name kind data")


def scan(path, entries=None):
    """Every entry below path by inode; links and fifos are not opened."""
    entries = {} if entries is None else entries
    parent = os.lstat(path).st_ino
    with os.scandir(os.fsencode(path)) as items:
        for item in items:
            status = item.stat(follow_symlinks=False)
            data = None
            if stat.S_ISREG(status.st_mode):
                with open(item.path, "rb") as f:
                    data = f.read()
            elif stat.S_ISLNK(status.st_mode):
                data = os.readlink(item.path)
            entries[status.st_ino] = Entry(parent, item.name, stat.S_IFMT(status.st_mode), data)
            if stat.S_ISDIR(status.st_mode):
                scan(item.path, entries)
    return entries


def ancestors(entries, key):
    while key in entries:
        key = entries[key].parent
        yield key


# A control character prints as its Control Pictures character.
PICTURES = {0x2400 + c: c for c in range(0x20)} | {0x2421: 0x7F}


def name_bytes(printed):
    """The name on disk that a printed name stands for: a name's bytes print
    as they are, read back with surrogateescape; a control character prints
    as its picture."""
    return printed.translate(PICTURES).encode("utf-8", "surrogateescape")


# --- Reading a run against its tree -------------------------------------------


class Replay:
    """Follows a run's records through the tree it ran on: which entry each
    record is about, whether the walk order holds (everything below a
    directory right before the directory's own record), and the name each
    entry must have now. Names are unique across a test's tree at every
    point, which is what tells the entry of a record."""

    def __init__(self, root, entries, gone):
        self.entries, self.gone = entries, gone
        self.names = {key: entry.name for key, entry in entries.items()}
        self.holders = collections.defaultdict(set)
        for key, name in self.names.items():
            self.holders[name].add(key)
        self.records = []  # (entry, outcome)
        self.printed_at, self.renamed_at = {}, {}  # entry -> index of its last record
        self.stack = [root]  # the directories being walked

    def read(self, stdout):
        text = harness.decode(stdout)
        controls = {c for c in text if c != "\n" and (c < " " or c == "\x7f")}
        if controls:
            raise AssertionError(f"control characters in the report: {sorted(controls)!r}")
        position = 0
        while position < len(text):
            position = self.read_record(text, position)
        if self.stack[1:]:
            raise AssertionError(f"no record for walked directory {self.name(self.stack[-1])}")

    def read_record(self, text, position):
        end = text.find("\n", position)
        if end < 0 or not self.holders.get(name_bytes(text[position:end])):
            raise AssertionError(f"printed name names no entry: {text[position:]!r}")
        name, position = text[position:end], end + 1
        outcome = FOLD_FAILED
        if text.startswith(MOVED_PREFIX, position):
            end = text.find("\n", position)
            if end < 0:
                raise AssertionError(f"no line feed after {text[position:]!r}")
            line, position = text[position:end], end + 1
            outcome = (failed(line[len(FAILED_PREFIX):]) if line.startswith(FAILED_PREFIX) else
                       moved(line[len(MOVED_PREFIX):]))
        self.handle(name_bytes(name), outcome)
        return position

    def handle(self, name, outcome):
        key = self.entry_named(name)
        # Only a rename (of the entry or of a directory above it) lets the
        # listing yield an entry again.
        if key in self.printed_at and not any(
                self.renamed_at.get(k, -1) >= self.printed_at[key]
                for k in [key, *ancestors(self.entries, key)]):
            raise AssertionError(f"{self.name(key)} printed again under the same name")
        self.enter(key)
        self.printed_at[key] = len(self.records)
        if outcome[0] == "moved" and key in self.gone:
            raise AssertionError(f"{self.name(key)} reported moved, but it was deleted")
        if outcome[0] == "moved" and name_bytes(outcome[1]) != name:
            self.holders[name].discard(key)
            self.names[key] = name_bytes(outcome[1])
            self.holders[self.names[key]].add(key)
            self.renamed_at[key] = len(self.records)
        self.records.append((key, outcome))

    def entry_named(self, name):
        keys = self.holders[name]
        if len(keys) > 1:
            keys = {key for key in keys if self.stack[-1] in ancestors(self.entries, key)}
        if len(keys) != 1:
            raise AssertionError(f"{name!r} names {len(keys)} entries here")
        return next(iter(keys))

    def enter(self, key):
        """Moves the walk into the entry's directory, through directories
        below the one being walked, or out of the entry when it is one."""
        if key in self.stack:
            if key != self.stack[-1]:
                raise AssertionError(f"{self.name(key)} printed while "
                                     f"{self.name(self.stack[-1])} below it was being walked")
            self.stack.pop()
            return
        chain = []
        for folder in ancestors(self.entries, key):
            if folder == self.stack[-1]:
                self.stack += reversed(chain)
                return
            chain.append(folder)
        raise AssertionError(f"{self.name(key)} printed while "
                             f"{self.name(self.stack[-1])} was being walked")

    def name(self, key):
        return repr(self.names.get(key, key))


# --- Tests --------------------------------------------------------------------


class Case(TreeTestCase):
    def setUp(self):
        super().setUp()
        self.work = os.path.join(self.root, "work")
        os.mkdir(self.work)

    def run_with(self, arguments, prefix=(), limits=None, timeout=None):
        completed = subprocess.run(
            harness.command(arguments, runner=prefix), cwd=self.work,
            env=harness.program_environment(), stdin=subprocess.DEVNULL, capture_output=True,
            timeout=timeout or harness.timeout(), preexec_fn=limits)
        return harness.Result(arguments, completed.returncode, completed.stdout, completed.stderr)

    def start_with(self, arguments, limits):
        """harness.start, with the limits that run_with takes."""
        process = subprocess.Popen(
            harness.command(arguments), cwd=self.work, env=harness.program_environment(),
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            preexec_fn=limits)
        self.addCleanup(process.kill)
        return process

    def mount(self, arguments):
        """Mounts (as root) or skips the test; unmounted before the tree goes."""
        if os.geteuid() != 0:
            self.skipTest("mounting needs root")
        completed = subprocess.run(["mount", *arguments], capture_output=True)
        if completed.returncode != 0:
            self.skipTest(f"cannot mount here: {completed.stderr.decode(errors='replace')}")
        self.addCleanup(subprocess.run, ["umount", "-l", arguments[-1]], capture_output=True)

    def named_run(self, tree, modes=None, hidden=(), prefix=(), owner=None):
        """Builds tree in the work folder, gives it its owner and modes, and
        names its top entries, but those that hold a wildcard or a backslash
        (a separator on the command line). Hidden entries (below directories
        that cannot be listed) need not be printed."""
        make(self.work, tree)
        for folder, subfolders, files in os.walk(self.work) if owner else ():
            for name in subfolders + files:
                os.chown(os.path.join(folder, name), *owner)
        entries = scan(self.work)
        root = os.lstat(self.work).st_ino
        unnamed = {key for key, entry in entries.items()
                   if entry.parent == root and any(c in entry.name for c in b"*?\\")}
        arguments = [os.fsdecode(entry.name) for key, entry in entries.items()
                     if entry.parent == root and key not in unnamed]
        for path, mode in (modes or {}).items():
            os.chmod(os.path.join(self.work, path), mode)
        result = self.run_with(arguments, prefix)
        for folder, subfolders, _ in os.walk(self.work) if modes else ():
            for name in subfolders:  # top down: each opened after its chmod
                os.chmod(os.path.join(folder, name), 0o700)
        optional = unnamed | {key for key, entry in entries.items() if entry.name in hidden}
        return self.audit(result, entries, optional)

    def audit(self, result, entries, optional, gone=frozenset()):
        """Checks a finished run against the tree it started on: every entry
        that is not optional or gone is printed, and the disk holds exactly
        the entries, under the names that the records gave them."""
        self.assertExit(result, harness.report_code(result.text))
        replay = Replay(os.lstat(self.work).st_ino, entries, gone)
        try:
            replay.read(result.stdout)
        except (AssertionError, UnicodeError) as error:
            self.fail(f"{error}\n{result.describe()}")
        unprinted = set(entries) - optional - gone - replay.printed_at.keys()
        self.assertFalse([entries[key].name for key in unprinted], "not printed")
        after = scan(self.work)
        expected = {key: entry._replace(name=replay.names[key])
                    for key, entry in entries.items() if key not in gone}
        wrong = {want.name: after.get(key, "lost or replaced") for key, want in expected.items()
                 if after.get(key) != want}
        wrong.update({after[key].name: "unknown" for key in after.keys() - expected.keys()})
        self.assertFalse(wrong, result.describe())
        return replay


def every_byte(prefix):
    return {b"%s%02x-%c" % (prefix, value, value): FILE for value in range(1, 256) if value != 0x2F}


def long_names(prefix):
    names = [prefix + "x" * 254, prefix + "テ" * 84 + "xy", prefix + "é" * 127,
             prefix + "😀" * 63 + "xy", os.fsencode(prefix) + b"\xff" * 254]
    assert all(len(os.fsencode(name)) == 255 for name in names)
    return dict.fromkeys(names, FILE)


@native_only
class HostileNames(Case):
    # Each tree's top entries are named on the command line, and its
    # directories walked. Names differ across a tree, folded or not.
    TREES = {
        "every byte": {**every_byte(b"a"), b"walk": {
            **every_byte(b"w"),
            b"m1-" + bytes(range(1, 0x80)).replace(b"/", b""): FILE,
            b"m2-" + bytes(range(0x80, 0x100)): FILE,
            # overlong "/", a surrogate, beyond U+10FFFF, a byte-order mark,
            # sequences cut short
            b"m3-\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80\xef\xbb\xbf\xe3\x81\\\xf0\x9f\x98": FILE,
            b"d1 \\*?\xff\n.": {b"d1-in\\\xfe\r": FILE, b"d1-deeper\x01": {b"d1-leaf\x7f": FILE}},
            b"...": {b"d2-in": FILE},
            # a name that would print as a record of its own, and an escape
            "Ā\n->Ā\nfake": FILE, "\x1b]0;title\x07\x1b[2J": FILE,
        }},
        "255 bytes": {**long_names("a"), "walk": {
            **long_names("w"), "d" + "ü" * 126 + "xy": long_names("i")}},
        "specials": {
            "arg-fifo😀": FIFO, "arg-socket": SOCKET,
            "walk": {"fifo😀": FIFO, "fifo": FIFO, "socket😀": SOCKET, "loop-a": ("link", "loop-b"),
                     "loop-b😀": ("link", "loop-a"), "up": ("link", ".."), "self😀": ("link", "."),
                     "dangling": ("link", "nowhere"), "d😀": {"fifo-in": FIFO, "file-in😀": FILE}},
        },
    }

    def test_runs_complete_and_print_what_they_did(self):
        for label, tree in self.TREES.items():
            with self.subTest(label):
                shutil.rmtree(self.work)
                os.mkdir(self.work)
                self.named_run(tree)

    def test_siblings_that_fold_to_one_name(self):
        # Exactly one of each group takes the folded name; the others keep theirs.
        groups = {"__.txt": ["😀.txt", "😁.txt", b"\xff\xfe.txt", b"\x80\x80.txt", "🎉.txt", "😂.txt"],
                  "__d": [b"\xfe\xfed", "😁d", "😀d"]}
        folder = dict.fromkeys(groups["__.txt"] + ["😁d"], FILE)
        folder.update({b"\xfe\xfed": {"in-a": FILE}, "😀d": {"in-b": FILE}})

        replay = self.named_run({"clash": folder})

        for target, members in groups.items():
            outcomes = [outcome for _, outcome in replay.records if outcome[-1] == target]
            self.assertEqual(sorted(outcomes),
                             [failed(target)] * (len(members) - 1) + [moved(target)])


@native_only
class LockedDirectories(Case):
    """Directories that the run may not read, enter or change. Root ignores
    permission bits, so a run as root drops to nobody."""

    TREE = {"locked😀": {
        "noread😀": {"nr-file😀": FILE, "nr-dir": {"nr-deep😀": FILE}},
        "noenter😀": {"ne-file😀": FILE, "ne-dir😀": {"ne-deep😀": FILE}},
        "nothing😀": {"n0-file😀": FILE},
        "nowrite😀": {"nw-file😀": FILE, "nw-same": FILE, "nw-dir😀": {"nw-deep😀": FILE}},
        "free😀": FILE,
    }}
    MODES = {"locked😀/noread😀": 0o300, "locked😀/noenter😀": 0o600, "locked😀/nothing😀": 0,
             "locked😀/nowrite😀": 0o500}
    HIDDEN = {os.fsencode(name) for name in ("nr-file😀", "nr-dir", "nr-deep😀", "ne-deep😀",
                                             "n0-file😀")}

    def test_what_cannot_be_listed_is_skipped_and_the_rest_done(self):
        self.named_run(self.TREE, self.MODES, self.HIDDEN, *self.unprivileged())

    def unprivileged(self):
        """The command prefix that runs the program as nobody, and the owner
        that the tree must have for it."""
        if os.geteuid() != 0:
            return [], None
        if not shutil.which("setpriv"):
            self.skipTest("setpriv is missing, and root ignores permission bits")
        nobody = pwd.getpwnam("nobody")
        owner = (nobody.pw_uid, nobody.pw_gid)
        prefix = ["setpriv", f"--reuid={owner[0]}", f"--regid={owner[1]}", "--clear-groups"]
        for folder in (self.root, self.work):
            os.chown(folder, *owner)
        probe = self.run_with([], prefix)
        if probe.stdout != harness.encode(harness.MISSING_ARGUMENT):
            self.skipTest(f"nobody cannot start the program here: {probe.describe()}")
        return prefix, owner


@native_only
class ChangingTree(Case):
    """Entries deleted and added while the run is stopped in the middle of a
    large directory: some that it has listed already are gone, some new."""

    FILES = 2000

    def test_entries_that_come_and_go(self):
        filler = "x" * 40  # long records: the pipe fills early in the walk
        tree = {f"c-{i:04}-{filler}😀": FILE for i in range(self.FILES)}
        tree.update({f"s-{i:02}-😀": {f"s-{i:02}-in😀": FILE, f"s-{i:02}-in": FILE}
                     for i in range(10)})
        big = os.path.join(os.fsencode(self.work), b"big")
        make(self.work, {"big": tree})
        entries = scan(self.work)
        order = os.listdir(big)  # the order in which the walk meets them
        process = harness.start(["big"], self.work)
        self.addCleanup(process.kill)
        head = os.read(process.stdout.fileno(), harness.stop_when_blocked(process))

        printed = {name_bytes(line) for line in harness.decode(head).split("\n")}
        # Entries well past the last one printed are still to come, even if
        # the output lagged behind the renames by a block that the program
        # collected (64 KiB; each record here is two lines longer than the
        # filler).
        lag = 65536 // (2 * len(harness.encode(filler))) + 64
        cut = max((i for i, name in enumerate(order) if name in printed), default=0) + lag
        gone, added = self.churn(big, order[cut:], entries)
        os.kill(process.pid, signal.SIGCONT)
        rest, errors = process.communicate(timeout=harness.timeout())

        result = harness.Result(["big"], process.returncode, head + rest, errors)
        self.audit(result, {**entries, **added}, set(added), gone)

    @staticmethod
    def churn(big, pending, entries):
        """Adds entries, some with the name that a pending one folds to, then
        deletes every fourth pending file and two pending directories (in
        this order, so that no inode is reused)."""
        files = [name for name in pending if name.startswith(b"c-")]
        new = {f"n-{i:03}-😀": FILE for i in range(40)}
        new["nd-😀"] = {"nd-in😀": FILE}
        new.update((name.replace("😀".encode(), b"__"), FILE) for name in files[1:40:8])
        make(big, new)
        added = {key: entry for key, entry in scan(big).items() if key not in entries}
        gone = set()
        for name in files[::4][:100] + [name for name in pending if name.startswith(b"s-")][:2]:
            path = os.path.join(big, name)
            key = os.lstat(path).st_ino
            gone |= {key} | {k for k in entries if key in ancestors(entries, k)}
            shutil.rmtree(path) if os.path.isdir(path) else os.unlink(path)
        return gone, added


class NothingOutside(Case):
    """Nothing outside the named tree is touched: not through a directory
    swapped for a link while the run is inside it, nor through a mount."""

    RUNS = 3

    def test_directories_swapped_for_links_mid_run(self):
        # Enough entries that the run is still inside d when its output
        # blocks: the pipe and a block of buffered output hold a few hundred.
        files = 800 if harness.emulated() else 3000
        filler = "x" * 40  # long records: the pipe fills early in the walk
        folder = {f"f-{i:04}-{filler}😀": FILE for i in range(files)}
        folder.update({f"s-{i:02}😀": {f"s-{i:02}-in😀": FILE} for i in range(10)})
        for run in range(self.RUNS):
            with self.subTest(run=run):
                shutil.rmtree(self.work)
                os.mkdir(self.work)
                make(self.work, {"T": {"d": folder}, "O": folder})
                outside = scan(os.path.join(self.work, "O"))
                process = harness.start(["T"], self.work)
                self.addCleanup(process.kill)
                head = os.read(process.stdout.fileno(), harness.stop_when_blocked(process))

                # The directory being walked, and those below it still to
                # come, now lead outside (links that stay in the scratch
                # folder: Wine would move a link's target).
                real = os.path.join(self.work, "T", "d.real")
                os.rename(os.path.join(self.work, "T", "d"), real)
                os.symlink("../O", os.path.join(self.work, "T", "d"))
                pending = [name for name in os.listdir(real) if name.startswith("f-")
                           and "😀" in name]
                self.assertTrue(pending, "the run had left d before the swap")
                for name in os.listdir(real):
                    if name.startswith("s-") and "😀" in name:
                        os.rename(os.path.join(real, name), os.path.join(real, name + ".real"))
                        os.symlink(os.path.join(self.work, "O", name), os.path.join(real, name))
                os.kill(process.pid, signal.SIGCONT)
                rest, errors = process.communicate(timeout=harness.timeout())

                result = harness.Result(["T"], process.returncode, head + rest, errors)
                self.assertExit(result, harness.report_code(result.text))
                after = scan(os.path.join(self.work, "O"))
                touched = [entry.name for key, entry in after.items() if outside.get(key) != entry]
                self.assertEqual(len(touched), 0, f"entries outside renamed, as {touched[:3]}")
                left = [name for name in os.listdir(real)
                        if "😀" in name and not name.endswith(".real")]
                if not harness.under_wine():
                    # The walk went on where it was: every entry it had listed
                    # there is renamed.
                    self.assertEqual(left, [], result.describe())
                    continue
                # Wine renames by path whatever the handle, and moves a link's
                # target: what the path no longer leads to, and the links, are
                # left with the failure line.
                unreported = [name for name in left
                              if f"{name}\n{FAILED_PREFIX}" not in result.text]
                self.assertEqual(unreported[:3], [], result.describe())

    def test_the_working_directory_or_the_parent_swapped_for_a_link_mid_run(self):
        # The argument's parent and the working directory are held from the
        # argument's resolution on: the walked argument is renamed where it
        # was, and the next name is taken from the directory that was current,
        # not from the link's target, which holds the same names. With the
        # parent swapped alone, the working directory holds nothing of it.
        filler = "x" * 40
        files = {f"f-{i:04}-{filler}😀": FILE for i in range(2000)}
        cases = [("W", "O", "W.real/P", "W.real"), ("W/P", "../O/P", "W/P.real", "W")]
        for swapped, link, parent, working in cases:
            with self.subTest(swapped=swapped):
                shutil.rmtree(self.work)
                os.mkdir(self.work)
                make(self.work, {"W": {"P": {"a😀": {"sub": files}}, "b😀": FILE},
                                 "O": {"P": {"a😀": {"x😀": FILE}}, "b😀": FILE}})
                outside = scan(os.path.join(self.work, "O"))
                process = harness.start(["P/a😀", "b😀"], os.path.join(self.work, "W"))
                self.addCleanup(process.kill)
                head = os.read(process.stdout.fileno(), harness.stop_when_blocked(process))

                os.rename(os.path.join(self.work, swapped), os.path.join(self.work, swapped + ".real"))
                os.symlink(link, os.path.join(self.work, swapped))
                os.kill(process.pid, signal.SIGCONT)
                rest, errors = process.communicate(timeout=harness.timeout())

                result = harness.Result([], process.returncode, head + rest, errors)
                self.assertExit(result, harness.report_code(result.text))
                self.assertEqual(scan(os.path.join(self.work, "O")), outside, result.describe())
                if harness.under_wine():
                    continue  # Wine renames by path: where it leads elsewhere, the failure line
                self.assertEqual(os.listdir(os.path.join(self.work, parent)), ["a__"])
                self.assertIn("b__", os.listdir(os.path.join(self.work, working)))

    @native_only
    def test_a_level_opened_again_for_want_of_descriptors_is_the_one_it_was(self):
        # 400 levels under a limit of 256 open files: the walk closes its
        # shallowest levels on the way down and opens each again from the
        # level below ("..") on the way back up. Level 101 is moved outside
        # meanwhile, so its ".." leads there: that is not level 100, whose
        # entry 101 then keeps its name, as does the moved directory.
        levels = [f"{i:03}😀" for i in range(400)]
        filler = "x" * 40
        bottom = os.path.join(self.work, "T", *levels)
        os.makedirs(bottom)
        make(bottom, {f"f-{i:04}-{filler}😀": FILE for i in range(3000)})
        os.mkdir(os.path.join(self.work, "O"))
        process = self.start_with(
            ["T"], lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (256, 256)))
        head = os.read(process.stdout.fileno(), harness.stop_when_blocked(process))

        os.rename(os.path.join(self.work, "T", *levels[:102]),
                  os.path.join(self.work, "O", levels[101]))
        os.kill(process.pid, signal.SIGCONT)
        rest, errors = process.communicate(timeout=harness.timeout())

        result = harness.Result(["T"], process.returncode, head + rest, errors)
        self.assertExit(result, 2)
        self.assertEqual(os.listdir(os.path.join(self.work, "O")), [levels[101]],
                         result.describe())
        self.assertIn(f"{levels[101]}\n{FAILED_PREFIX}101__\n", result.text)

    @native_only
    def test_a_mount_inside_the_tree_is_renamed_but_never_walked(self):
        make(self.work, {"T": {"in😀": FILE, "m😀": {}},
                         "O": {"o😀": FILE, "od😀": {"deep😀": FILE}}})
        self.mount(["--bind", os.path.join(self.work, "O"), os.path.join(self.work, "T", "m😀")])
        outside = scan(os.path.join(self.work, "O"))

        result = self.run_with(["T"])

        # A mount point is busy: its move fails.
        self.assertWalk(result, [[harness.Dir("T", harness.File("in😀", moved("in__")),
                                              harness.Dir("m😀", outcome=failed("m__")))]], code=2)
        self.assertEqual(scan(os.path.join(self.work, "O")), outside)

        # Named on the command line, it is walked as the user asked.
        result = self.run_with(["T/m😀"])

        self.assertWalk(result, [[harness.Dir(
            "m😀", harness.File("o😀", moved("o__")),
            harness.Dir("od😀", harness.File("deep😀", moved("deep__")), outcome=moved("od__")),
            outcome=failed("m__"))]], code=2)


class LinksInTheTree(Case):
    """A link, met by the walk or named, is never walked through, and renamed
    as itself where the system can do that; Wine would move its target
    instead, so there it keeps its name and nothing else moves."""

    def test_a_link_is_renamed_as_itself_or_reported(self):
        make(self.work, {"T": {"target😀": {"in😀": FILE}, "link😀": ("link", "target😀"),
                               "file.txt": FILE, "flink😀": ("link", "file.txt")},
                         "named😀": ("link", "T/file.txt")})

        result = self.run_with(["named😀", "T"])

        wine = harness.under_wine()
        link = failed if wine else moved
        self.assertWalk(result, [[harness.Link("named😀", "T/file.txt", outcome=link("named__"))], [
            harness.Dir("T", harness.Dir("target😀", harness.File("in😀", moved("in__")),
                                         outcome=moved("target__")),
                        harness.Link("link😀", "target😀", outcome=link("link__")),
                        harness.File("file.txt"),
                        harness.Link("flink😀", "file.txt", outcome=link("flink__")),
                        outcome=moved("T"))]], code=2 if wine else 0)
        self.assertEqual(sorted(os.listdir(self.work)), ["T", "named😀" if wine else "named__"])
        self.assertEqual(sorted(os.listdir(os.path.join(self.work, "T"))),
                         sorted(["file.txt", "target__"] + (
                             ["flink😀", "link😀"] if wine else ["flink__", "link__"])))


@native_only
class LargeDirectory(Case):
    """ext4 hands out again entries renamed while a directory is listed; each
    is still reported once."""

    ENTRIES = 30000

    def test_each_entry_is_reported_once(self):
        tools = dict(os.environ, PATH=os.environ.get("PATH", "") + ":/usr/sbin:/sbin")
        if not shutil.which("mkfs.ext4", path=tools["PATH"]):
            self.skipTest("mkfs.ext4 is missing")
        image = os.path.join(self.root, "ext4.img")
        with open(image, "wb") as f:
            f.truncate(64 << 20)
        subprocess.run(["mkfs.ext4", "-q", "-N", str(self.ENTRIES + 100), "-O", "^has_journal",
                        image], check=True, capture_output=True, env=tools)
        os.mkdir(os.path.join(self.work, "ext4"))
        self.mount(["-o", "loop", image, os.path.join(self.work, "ext4")])
        big = os.path.join(self.work, "ext4", "big")
        os.mkdir(big)
        names = [f"{i:05}-😀" for i in range(self.ENTRIES)]
        for name in names:
            os.close(os.open(os.path.join(big, name), os.O_CREAT | os.O_WRONLY, 0o600))

        result = self.run_with(["ext4/big"])

        self.assertExit(result, 0)
        expected = [(name, moved(name.replace("😀", "__"))) for name in names]
        self.assertEqual(sorted(result.records), sorted(expected + [("big", moved("big"))]))
        self.assertEqual(len(os.listdir(big)), self.ENTRIES)


class DeepTree(Case):
    # The sanitizers' build takes many times longer over the same paths.
    LEVELS = 4000 if os.environ.get("ANSIFOLD_SANITIZED") == "ON" else 20000

    @native_only
    def test_every_level_is_walked_children_first(self):
        # Far deeper than the program's stack and the limit on open files
        # (a hard one of 256 here) would allow one level each.
        self.addCleanup(subprocess.run, ["rm", "-rf", "--", self.root])  # beyond rmtree's depth
        descriptor = self.descend(["d😀"] * self.LEVELS, create=True)
        os.close(os.open("😀", os.O_CREAT | os.O_WRONLY, 0o600, dir_fd=descriptor))
        os.close(descriptor)

        result = self.run_with(
            ["d😀"], limits=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (256, 256)),
            timeout=240)

        self.assertOutput(result, "😀\n->__\n" + "d😀\n->d__\n" * self.LEVELS)
        descriptor = self.descend(["d__"] * self.LEVELS)
        self.addCleanup(os.close, descriptor)
        self.assertEqual(os.listdir(descriptor), ["__"])

    @native_only
    def test_a_log_that_fails_deep_in_the_tree_stops_the_walk_there(self):
        # The log's third record is cut short at the bottom of the tree: the
        # walk stops with every level open and closes them deepest first, as
        # a walk that ends does, within a stack of 128 KiB, which the run
        # needs a fraction of. Shallowest first, the deepest level would let
        # go of the whole chain of its parents' paths in one recursion.
        self.addCleanup(subprocess.run, ["rm", "-rf", "--", self.root])
        levels = ["d😀"] * (self.LEVELS // 4)
        descriptor = self.descend(levels, create=True)
        os.close(os.open("😀", os.O_CREAT | os.O_WRONLY, 0o600, dir_fd=descriptor))
        os.close(descriptor)
        # Where the third rename's record lies in the log of the same run,
        # made and undone first: the limit falls in its middle.
        self.assertExit(self.run_with(["--log=run.log", "d😀"], timeout=240), 0)
        self.assertExit(self.run_with(["--undo=run.log"], timeout=240), 0)
        with open(os.path.join(self.work, "run.log"), "rb") as f:
            log = f.read()
        os.remove(os.path.join(self.work, "run.log"))
        start = log.index(b"\nR\t", log.index(b"\nR\t", log.index(b"\nR\t") + 1) + 1)
        limit = (start + log.index(b"\n", start + 1)) // 2

        def limited():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
            resource.setrlimit(resource.RLIMIT_STACK, (128 << 10, 128 << 10))

        result = self.run_with(["--log=run.log", "d😀"], limits=limited, timeout=240)

        self.assertOutput(result, f"😀\n->__\nd😀\n->d__\nd😀\n{FAILED_PREFIX}d__\n", code=1)
        self.assertTrue(result.stderr, result.describe())

    @unittest.skipUnless(harness.under_wine() and harness.code_page() == 932,
                         "Windows builds, once: the depth does not depend on the code page")
    def test_windows_paths_as_long_as_the_system_allows(self):
        # x64: seventeen long names, then one-letter levels up to a path of
        # about 32,700 units. Wine renames through host paths of at most 4,096
        # bytes, so it gives the levels past the long names the failure line;
        # the names make its host paths pass that at once, beyond which the
        # emulated 32-bit Wine re-reads the whole path at every call: it
        # takes 1,000 one-letter levels, its host paths within the limit.
        prefix = [] if harness.emulated() else [f"{i:02}" + "ā" * 120 for i in range(17)]
        used = len(self.work) + sum(len(name) + 1 for name in prefix) + 10
        levels = prefix + ["ā"] * (1000 if harness.emulated() else (32700 - used) // 2)
        self.addCleanup(subprocess.run, ["rm", "-rf", "--", self.root])
        descriptor = self.descend(levels, create=True)
        os.close(os.open("f😀", os.O_CREAT | os.O_WRONLY, 0o600, dir_fd=descriptor))
        os.close(descriptor)

        result = self.run_with([levels[0]], timeout=600)

        self.assertExit(result, harness.report_code(result.text))
        records = result.records
        self.assertEqual([name for name, _ in records], ["f😀"] + levels[::-1])
        self.assertEqual(records[-1][1], moved(levels[0].replace("ā", "_")))
        # The disk as the report says, top level first.
        descriptor = os.open(self.work, os.O_RDONLY)
        for name, outcome in reversed(records):
            self.assertIn(outcome, (moved(name.replace("ā", "_").replace("😀", "__")),
                                    failed(name.replace("ā", "_").replace("😀", "__"))))
            now = outcome[1] if outcome[0] == "moved" else name
            if name == "f😀":
                self.assertEqual(os.listdir(descriptor), [now])
            else:
                below = os.open(now, os.O_RDONLY, dir_fd=descriptor)
                os.close(descriptor)
                descriptor = below
        os.close(descriptor)

    def test_paths_past_max_path(self):
        # 25 levels of 40 units, a name to fold at each: paths past 1,000
        # units, which Windows does not let a program make current.
        levels = [f"{i:02}😀" + "x" * 36 for i in range(25)]
        path = os.path.join(self.work, *levels)
        os.makedirs(path)
        make(path, {"f😀": FILE})

        result = self.run_with([levels[0]])

        self.assertOutput(result, "f😀\n->f__\n" + "".join(
            f"{name}\n->{name.replace('😀', '__')}\n" for name in reversed(levels)))
        renamed = [name.replace("😀", "__") for name in levels]
        self.assertEqual(os.listdir(os.path.join(self.work, *renamed)), ["f__"])

    @native_only
    def test_paths_longer_than_the_system_limit(self):
        levels = [f"{i:02}😀" + "x" * 240 for i in range(20)]  # 4,920 bytes
        descriptor = self.descend(levels, create=True)
        os.close(os.open("f😀", os.O_CREAT | os.O_WRONLY, 0o600, dir_fd=descriptor))
        os.close(descriptor)

        result = self.run_with([levels[0]])

        self.assertOutput(result, "f😀\n->f__\n" + "".join(
            f"{name}\n->{name.replace('😀', '__')}\n" for name in reversed(levels)))
        descriptor = self.descend([name.replace("😀", "__") for name in levels])
        self.addCleanup(os.close, descriptor)
        self.assertEqual(os.listdir(descriptor), ["f__"])

    @native_only  # a Windows command line holds at most 32,767 units
    def test_an_argument_longer_than_any_full_path_is_not_resolved(self):
        # 40,000 units resolve to more than the run's 32,768-unit buffer holds:
        # the two boxes (on standard error here), and nothing read past it.
        result = self.run_with(["a/" * 20000 + "x"])

        self.assertExit(result, 0)
        self.assertOutput(result, "")
        self.assertIn("err:", result.stderr.decode(errors="replace"))

    def descend(self, names, create=False):
        """The descriptor of work/names[0]/names[1]/..., reached (or made)
        one level at a time, as no path that long can be given whole."""
        descriptor = os.open(self.work, os.O_RDONLY)
        for name in names:
            if create:
                os.mkdir(name, dir_fd=descriptor)
            below = os.open(name, os.O_RDONLY, dir_fd=descriptor)
            os.close(descriptor)
            descriptor = below
        return descriptor


if __name__ == "__main__":
    unittest.main()
