#!/usr/bin/env python3
"""Times ansifold against the floor program (floor.cpp) and detox -v -r.

Generates trees of mixed names, runs each program on a fresh copy with its
standard output redirected to a file, and prints one table. The side-by-side
tree runs on tmpfs and, when this runs as root, on an ext4 image that it
loop-mounts: the programs take turns, each round on fresh copies, and the
median of the rounds counts. Nothing depends on its timing: it is a
benchmark, not a test. bench/run.sh sets up the machine, builds the release
preset and runs this with the build folder.
"""

import argparse
import collections
import os
import random
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

STEMS = {
    "ascii": ["report", "IMG_2041", "notes", "backup 2024", "README", "data.v2"],
    "accented": ["café", "crème brûlée", "naïve", "Ångström", "résumé", "señor"],
    "japanese": ["写真", "日本語のファイル", "会議資料", "東京タワー", "予定表"],
    "emoji": ["😀 party", "🎉", "🍣寿司", "🚀 launch"],
    # As macOS writes names: marks after their base letters, composed by the fold.
    "decomposed": ["\u304B\u3099\u3063\u3053\u3046", "\u30CF\u309A\u30BD\u30B3\u30F3",
                   "cafe\u0301", "re\u0301sume\u0301"],
}
USUAL_OPEN_FILES = 1024  # the soft limit that most systems start programs with
# Names that a fold changes under code page 932: accented letters (best fit
# to plain ones), emoji ("_") and decomposed names (composed); ASCII and
# Japanese names stay as they are.
DEFAULT_MIX = "ascii=55,accented=20,japanese=10,emoji=10,decomposed=5"
TARGET_RATIO = 0.8  # ansifold's time against the floor's, at most
FLAT = 1.2  # per-entry time of the largest tree against the smallest, at most
DEPTH_GROWTH = 1.0  # time per level of the deepest chain against the shallowest, at most

Program = collections.namedtuple("Program", "name command")


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build/release", help="folder with ansifold and floor")
    parser.add_argument("--entries", type=int, default=100_000,
                        help="tree of the side-by-side run with the floor and detox")
    parser.add_argument("--scale", default="10000,1000000",
                        help="further sizes; the per-entry times of the smallest and the "
                             "largest size are compared ('' for none)")
    parser.add_argument("--per-dir", type=int, default=100, help="entries per directory")
    parser.add_argument("--subdirs", type=int, default=10, help="directories among them")
    parser.add_argument("--depth", type=int, default=8, help="deepest level of directories")
    parser.add_argument("--deep", default="2000,20000",
                        help="levels of the deep trees, chains of directories named 'd' ('' for "
                             "none); the time of the deepest against the shallowest is compared")
    parser.add_argument("--deep-width", type=int, default=1,
                        help="entries per level of the deep trees; the default, a bare chain, "
                             "times the walk alone: the system's own rename takes longer the "
                             "deeper its directory lies (here 870 µs at 20,000 levels, 6 µs at "
                             "the top)")
    parser.add_argument("--mix", default=DEFAULT_MIX,
                        help="weights of the kinds of names: " + ", ".join(STEMS) +
                             "; the default gives about 35%% names that change under code "
                             "page 932 (accented, emoji, decomposed), 10%% Japanese names "
                             "that it holds")
    parser.add_argument("--lang", default="ja_JP.UTF-8", help="LANG of the runs")
    parser.add_argument("--rounds", type=int, default=5,
                        help="rounds of the side-by-side run, each program once per round on a "
                             "fresh copy; the median counts")
    parser.add_argument("--repeat", type=int, default=3,
                        help="runs per program of the scale and deep trees, in turns, each on "
                             "a fresh copy; the median counts")
    parser.add_argument("--work", default="/dev/shm" if os.path.isdir("/dev/shm") else "/tmp",
                        help="where the scratch folder is made; the default is in memory, "
                             "where making trees is quick and system calls cost least")
    parser.add_argument("--ext4-size", default="2G",
                        help="size of the ext4 image (sparse, in the scratch folder)")
    parser.add_argument("--no-ext4", action="store_true",
                        help="leave out the run on ext4 (it needs root to mount the image)")
    parser.add_argument("--no-detox", action="store_true")
    parser.add_argument("--no-strace", action="store_true")
    return parser.parse_args()


# --- Trees -----------------------------------------------------------------------


class Names:
    """Names of the chosen mix; the number keeps folded names apart."""

    def __init__(self, mix):
        weights = dict(part.split("=") for part in mix.split(","))
        self.kinds = list(weights)
        self.weights = [float(w) for w in weights.values()]
        self.random = random.Random(2024)
        self.count = 0

    def next(self, suffix=""):
        kind = self.random.choices(self.kinds, self.weights)[0]
        self.count += 1
        return f"{self.random.choice(STEMS[kind])}-{self.count:07d}{suffix}"


def make_file(name, directory_fd=None):
    os.close(os.open(name, os.O_CREAT | os.O_WRONLY, 0o644, dir_fd=directory_fd))


def generate_wide(root, args, entries):
    """Breadth first: each directory gets per-dir entries, the first subdirs
    of them directories while above the deepest level, until entries."""
    names = Names(args.mix)
    os.makedirs(root)
    queue = collections.deque([(root, 0)])
    while queue and names.count < entries:
        directory, level = queue.popleft()
        for i in range(min(args.per_dir, entries - names.count)):
            if i < args.subdirs and level < args.depth:
                path = os.path.join(directory, names.next())
                os.mkdir(path)
                queue.append((path, level + 1))
            else:
                make_file(os.path.join(directory, names.next(".txt")))
    return names.count


def generate_deep(root, args, levels):
    """A chain of levels directories named "d", each with deep-width - 1
    files beside it; the one-letter names keep the paths as short as a
    chain that deep allows."""
    names = Names(args.mix)
    os.makedirs(root)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    for _ in range(levels):
        for _ in range(args.deep_width - 1):
            make_file(names.next(".txt"), fd)
        os.mkdir("d", dir_fd=fd)
        names.count += 1
        inner = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = inner
    os.close(fd)
    return names.count


def copy_tree(source, target):
    """Copies a tree of empty files and directories, each directory reached
    from the one above it, at any depth."""
    os.mkdir(target)
    pending = [(os.open(source, os.O_RDONLY | os.O_DIRECTORY),
                os.open(target, os.O_RDONLY | os.O_DIRECTORY))]
    while pending:
        source_fd, target_fd = pending.pop()
        for entry in os.scandir(source_fd):
            if entry.is_dir(follow_symlinks=False):
                os.mkdir(entry.name, dir_fd=target_fd)
                pending.append((os.open(entry.name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=source_fd),
                                os.open(entry.name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=target_fd)))
            else:
                make_file(entry.name, target_fd)
        os.close(source_fd)
        os.close(target_fd)


def unfolded_names(tree):
    """Names below tree that still hold accented letters or emoji (two- and
    four-byte UTF-8 sequences): 0 once a walk has reached every entry."""
    listing = subprocess.run(["find", tree, "-mindepth", "1", "-printf", r"%f\0"],
                             check=True, capture_output=True).stdout
    return sum(1 for name in listing.split(b"\0")
               if any(0xC0 <= b < 0xE0 or 0xF0 <= b < 0xF8 for b in name))


# --- Runs ------------------------------------------------------------------------


def usual_file_limit():
    """In the child: the soft limit of open files that most systems start
    programs with, so that deep trees show whether a program raises it."""
    _, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    soft = USUAL_OPEN_FILES if hard == resource.RLIM_INFINITY else min(USUAL_OPEN_FILES, hard)
    resource.setrlimit(resource.RLIMIT_NOFILE, (soft, hard))


class Ext4Image:
    """An ext4 file system in an image file, loop-mounted while in use: the
    kind of disk file system that users' trees live on. The image lies in
    the scratch folder, in memory by default, so that the runs measure
    ext4's own work rather than a device's."""

    def __init__(self, scratch, size, inodes):
        self.image = os.path.join(scratch, "ext4.img")
        self.folder = os.path.join(scratch, "ext4")
        self.size = size
        self.inodes = inodes

    def __enter__(self):
        subprocess.run(["truncate", "-s", self.size, self.image], check=True)
        subprocess.run(["mkfs.ext4", "-q", "-F", "-N", str(self.inodes), self.image], check=True)
        os.mkdir(self.folder)
        subprocess.run(["mount", "-o", "loop", self.image, self.folder], check=True)
        return self.folder

    def __exit__(self, *exception):
        subprocess.run(["umount", self.folder], check=False)
        os.rmdir(self.folder)
        os.unlink(self.image)


def ext4_unavailable(args):
    """Why the ext4 run cannot take place here, or None."""
    if args.no_ext4:
        return "left out (--no-ext4)"
    if os.geteuid() != 0:
        return "skipped: mounting the image needs root"
    if not shutil.which("mkfs.ext4"):
        return "skipped: mkfs.ext4 is missing"
    return None


class Bench:
    def __init__(self, args, scratch):
        self.args = args
        self.scratch = scratch

    def remove(self, path):
        subprocess.run(["rm", "-rf", path], check=True)  # deep trees defeat shutil.rmtree

    def fresh_copy(self, source, place):
        copy = os.path.join(place, "run")
        self.remove(copy)
        os.makedirs(copy)
        # cp is quicker on wide trees, and gives up on paths past PATH_MAX.
        if subprocess.run(["cp", "-a", os.path.join(source, "t"), copy],
                          stderr=subprocess.DEVNULL).returncode != 0:
            self.remove(copy)
            os.makedirs(copy)
            copy_tree(os.path.join(source, "t"), os.path.join(copy, "t"))
        # The copy's own writing-back and journal must not fall into the run.
        os.sync()
        return copy

    def start(self, command, cwd, output, prefix):
        """Runs command in cwd with standard output and standard error (where
        ansifold puts its summary) redirected. Exit code 2 is ansifold's for
        a tree walked whole where some names were taken already."""
        env = {k: v for k, v in os.environ.items() if not k.startswith("LC_")}
        env["LANG"] = self.args.lang
        with open(output, "wb") as out, open(output + ".err", "wb") as err:
            completed = subprocess.run(prefix + command, cwd=cwd, env=env,
                                       stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                       preexec_fn=usual_file_limit)
        if completed.returncode not in (0, 2):
            raise subprocess.CalledProcessError(completed.returncode, prefix + command)

    def run_once(self, command, cwd):
        """Seconds and peak resident kilobytes. GNU time reports the peak: a
        child of this script would count the script's own pages, which it
        holds until it starts the program."""
        peak = os.path.join(self.scratch, "peak")
        start = time.perf_counter()
        self.start(command, cwd, os.path.join(self.scratch, "out"),
                   ["/usr/bin/time", "-f", "%M", "-o", peak, "--"])
        seconds = time.perf_counter() - start
        with open(peak) as text:
            return seconds, int(text.read().split()[-1])

    def system_calls(self, command, cwd):
        report = os.path.join(self.scratch, "strace")
        self.start(command, cwd, os.path.join(self.scratch, "out"),
                   ["strace", "-f", "-c", "-o", report, "--"])
        with open(report) as lines:
            total = [line.split() for line in lines if line.split()[-1:] == ["total"]][0]
        return int(total[3])

    def measure(self, programs, source, entries, place, runs, count_calls):
        """The programs take turns, each on a fresh copy, so that a machine
        busy with other work slows them alike; the median of the runs counts,
        and so does the median of each round's time against the floor's."""
        print(f"bench: {entries:,} entries in {place}, {runs}x " +
              ", ".join(p.name for p in programs), file=sys.stderr)
        results = {p.name: {"runs": [], "peak": 0, "calls": None} for p in programs}
        for _ in range(runs):
            for program in programs:
                result = results[program.name]
                copy = self.fresh_copy(source, place)
                seconds, peak = self.run_once(program.command, copy)
                result["runs"].append(seconds)
                result["peak"] = max(result["peak"], peak)
                result["left"] = unfolded_names(os.path.join(copy, "t"))
        for program in programs if count_calls else []:
            copy = self.fresh_copy(source, place)
            results[program.name]["calls"] = self.system_calls(program.command, copy) / entries
        floor = results["floor"]["runs"]
        for result in results.values():
            result["seconds"] = statistics.median(result["runs"])
            result["ratio"] = statistics.median(r / f for r, f in zip(result["runs"], floor))
        self.remove(os.path.join(place, "run"))
        return results


# --- Report ----------------------------------------------------------------------


def print_table(rows, args, ext4_note):
    print(f"\nLANG={args.lang}; names {args.mix}; wide trees: {args.per_dir} entries per "
          f"directory, {args.subdirs} of them directories, up to {args.depth} levels; "
          f"deep tree: {args.deep_width} entries per level; median of {args.rounds} rounds "
          f"side by side, of {args.repeat} runs for the other trees; tmpfs under {args.work}; "
          f"ext4 {ext4_note or 'on a loop-mounted image there'}\n")
    print("| file system | tree | program | entries | seconds | entries/s | µs/entry | peak MB "
          "| × floor | syscalls/entry | left unfolded |")
    print("|---|---|---|--:|--:|--:|--:|--:|--:|--:|--:|")
    for system, tree, name, entries, result in rows:
        calls = f"{result['calls']:.2f}" if result["calls"] is not None else ""
        print(f"| {system} | {tree} | {name} | {entries:,} | {result['seconds']:.3f} "
              f"| {entries / result['seconds']:,.0f} | {result['seconds'] / entries * 1e6:.2f} "
              f"| {result['peak'] / 1024:.1f} | {result['ratio']:.2f} | {calls} "
              f"| {result['left']:,} |")
    print()


def verdict(holds):
    return "yes" if holds else "NO"


def print_checks(results, sizes, args, ext4_note):
    def per_entry(size):
        return results["tmpfs", "ansifold", size]["seconds"] / results["entries", size]

    main = args.entries
    for system in ("tmpfs", "ext4"):
        if (system, "ansifold", main) not in results:
            print(f"{system}: {ext4_note}")
            continue
        ansifold = results[system, "ansifold", main]
        line = (f"{system}, {results['entries', main]:,} entries: ansifold / floor "
                f"{ansifold['ratio']:.3f} (at most {TARGET_RATIO}: "
                f"{verdict(ansifold['ratio'] <= TARGET_RATIO)})")
        detox = results.get((system, "detox", main))
        if detox:
            line += (f", detox / floor {detox['ratio']:.3f}; ansifold faster than detox: "
                     f"{verdict(ansifold['seconds'] < detox['seconds'])}")
        print(line)
    if len(sizes) > 1:
        small, large = sizes[0], sizes[-1]
        growth = per_entry(large) / per_entry(small)
        print(f"tmpfs, ansifold per-entry time, {results['entries', large]:,} / "
              f"{results['entries', small]:,} entries: {growth:.3f} (at most {FLAT}: "
              f"{verdict(growth <= FLAT)}); peak memory "
              f"{results['tmpfs', 'ansifold', small]['peak'] / 1024:.1f} -> "
              f"{results['tmpfs', 'ansifold', large]['peak'] / 1024:.1f} MB")
    depths = deep_levels(args)
    for levels in depths:
        deep = results["tmpfs", "ansifold", ("deep", levels)]
        whole = "walked whole" if deep["left"] == 0 else f"{deep['left']:,} names not reached"
        print(f"ansifold on {levels:,} levels: {whole}, {deep['seconds']:.3f} s, peak memory "
              f"{deep['peak'] / 1024:.1f} MB")
    if len(depths) > 1:
        shallow, deepest = depths[0], depths[-1]
        growth = (results["tmpfs", "ansifold", ("deep", deepest)]["seconds"] /
                  results["tmpfs", "ansifold", ("deep", shallow)]["seconds"])
        bound = DEPTH_GROWTH * deepest / shallow
        print(f"ansifold, {deepest:,} / {shallow:,} levels: {growth:.2f} times the time (at most "
              f"{bound:.0f}: {verdict(growth <= bound)})")


def deep_levels(args):
    return sorted({int(levels) for levels in args.deep.split(",") if levels})


def main():
    args = parse_arguments()
    build = os.path.abspath(args.build)
    floor = Program("floor", [os.path.join(build, "floor"), "t"])
    ansifold = Program("ansifold", [os.path.join(build, "ansifold"), "t"])
    detox = Program("detox", ["detox", "-v", "-r", "t"])
    scratch = tempfile.mkdtemp(prefix="ansifold-bench-", dir=args.work)
    bench = Bench(args, scratch)
    tmpfs = os.path.join(scratch, "tmpfs")
    os.mkdir(tmpfs)
    ext4_note = ext4_unavailable(args)

    sizes = sorted({args.entries, *(int(s) for s in args.scale.split(",") if s)})
    trees = ([(size, f"{size:,} wide") for size in sizes] +
             [(("deep", levels), f"{levels:,} deep") for levels in deep_levels(args)])
    rows, results = [], {}

    def record(system, label, key, entries, programs, measured):
        for program in programs:
            results[system, program.name, key] = measured[program.name]
            rows.append((system, label, program.name, entries, measured[program.name]))

    try:
        for key, label in trees:
            source = os.path.join(scratch, "src")
            if isinstance(key, tuple):
                entries = generate_deep(os.path.join(source, "t"), args, key[1])
            else:
                entries = generate_wide(os.path.join(source, "t"), args, key)
            results["entries", key] = entries
            if key == args.entries:
                programs = [floor, ansifold] + ([] if args.no_detox else [detox])
                record("tmpfs", label, key, entries, programs, bench.measure(
                    programs, source, entries, tmpfs, args.rounds, not args.no_strace))
                if ext4_note is None:
                    with Ext4Image(scratch, args.ext4_size, 2 * entries + 1000) as ext4:
                        record("ext4", label, key, entries, programs, bench.measure(
                            programs, source, entries, ext4, args.rounds, False))
            else:
                programs = [floor, ansifold]
                record("tmpfs", label, key, entries, programs,
                       bench.measure(programs, source, entries, tmpfs, args.repeat, False))
            bench.remove(source)
    finally:
        bench.remove(scratch)
    print_table(rows, args, ext4_note)
    print_checks(results, sizes, args, ext4_note)


if __name__ == "__main__":
    main()
