#!/usr/bin/env python3
"""Times ansifold against the floor program (floor.cpp) and detox.

Generates trees of mixed names, runs each program on a fresh copy with its
standard output redirected to a file, and prints one table. Nothing depends
on its timing: it is a benchmark, not a test. bench/run.sh sets up the
machine, builds the release preset and runs this with the build folder.
"""

import argparse
import collections
import os
import random
import resource
import subprocess
import sys
import tempfile
import time

STEMS = {
    "ascii": ["report", "IMG_2041", "notes", "backup 2024", "README", "data.v2"],
    "accented": ["café", "crème brûlée", "naïve", "Ångström", "résumé", "señor"],
    "japanese": ["写真", "日本語のファイル", "会議資料", "東京タワー", "予定表"],
    "emoji": ["😀 party", "🎉", "🍣寿司", "🚀 launch"],
}
USUAL_OPEN_FILES = 1024  # the soft limit that most systems start programs with
ONE_RUN_FROM = 1_000_000  # trees this large are run once per program

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
    parser.add_argument("--deep", type=int, default=2000,
                        help="levels of the deep tree, a chain of directories named 'd' (0: none)")
    parser.add_argument("--deep-width", type=int, default=10,
                        help="entries per level of the deep tree")
    parser.add_argument("--mix", default="ascii=85,accented=7,japanese=5,emoji=3",
                        help="weights of the kinds of names: " + ", ".join(STEMS))
    parser.add_argument("--lang", default="ja_JP.UTF-8", help="LANG of the runs")
    parser.add_argument("--repeat", type=int, default=3,
                        help=f"runs per program and tree below {ONE_RUN_FROM:,} entries; "
                             "the fastest counts")
    parser.add_argument("--work", default="/dev/shm" if os.path.isdir("/dev/shm") else "/tmp",
                        help="where the scratch folder is made; the default is in memory, "
                             "where making trees is quick and system calls cost least")
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


def generate_deep(root, args):
    """A chain of directories named "d", each with deep-width - 1 files
    beside it; the one-letter names keep the deepest full path within
    PATH_MAX."""
    names = Names(args.mix)
    os.makedirs(root)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    for _ in range(args.deep):
        for _ in range(args.deep_width - 1):
            make_file(names.next(".txt"), fd)
        os.mkdir("d", dir_fd=fd)
        names.count += 1
        inner = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = inner
    os.close(fd)
    return names.count


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


class Bench:
    def __init__(self, args, scratch):
        self.args = args
        self.scratch = scratch
        self.copy = os.path.join(scratch, "run")

    def remove(self, path):
        subprocess.run(["rm", "-rf", path], check=True)  # deep trees defeat shutil.rmtree

    def fresh_copy(self, source):
        self.remove(self.copy)
        os.makedirs(self.copy)
        subprocess.run(["cp", "-a", os.path.join(source, "t"), self.copy], check=True)

    def start(self, command, output, prefix):
        """Runs command on the copy with standard output redirected."""
        env = {k: v for k, v in os.environ.items() if not k.startswith("LC_")}
        env["LANG"] = self.args.lang
        with open(output, "wb") as out:
            subprocess.run(prefix + command, cwd=self.copy, env=env, stdin=subprocess.DEVNULL,
                           stdout=out, check=True, preexec_fn=usual_file_limit)

    def run_once(self, command):
        """Seconds and peak resident kilobytes. GNU time reports the peak: a
        child of this script would count the script's own pages, which it
        holds until it starts the program."""
        peak = os.path.join(self.scratch, "peak")
        start = time.perf_counter()
        self.start(command, os.path.join(self.scratch, "out"),
                   ["/usr/bin/time", "-f", "%M", "-o", peak, "--"])
        seconds = time.perf_counter() - start
        with open(peak) as text:
            return seconds, int(text.read().split()[-1])

    def system_calls(self, command):
        report = os.path.join(self.scratch, "strace")
        self.start(command, os.path.join(self.scratch, "out"),
                   ["strace", "-f", "-c", "-o", report, "--"])
        with open(report) as lines:
            total = [line.split() for line in lines if line.split()[-1:] == ["total"]][0]
        return int(total[3])

    def measure(self, programs, source, entries, count_calls):
        """The programs take turns, so that a machine busy with other work
        slows them alike; each one's fastest run counts."""
        repeats = self.args.repeat if entries < ONE_RUN_FROM else 1
        print(f"bench: {entries:,} entries, {repeats}x " + ", ".join(p.name for p in programs),
              file=sys.stderr)
        results = {p.name: {"seconds": float("inf"), "peak": 0, "calls": None} for p in programs}
        for _ in range(repeats):
            for program in programs:
                result = results[program.name]
                self.fresh_copy(source)
                seconds, peak = self.run_once(program.command)
                result["seconds"] = min(result["seconds"], seconds)
                result["peak"] = max(result["peak"], peak)
                result["left"] = unfolded_names(os.path.join(self.copy, "t"))
        for program in programs if count_calls else []:
            self.fresh_copy(source)
            results[program.name]["calls"] = self.system_calls(program.command) / entries
        return results


# --- Report ----------------------------------------------------------------------


def print_table(rows, args):
    print(f"\nLANG={args.lang}; names {args.mix}; wide trees: {args.per_dir} entries per "
          f"directory, {args.subdirs} of them directories, up to {args.depth} levels; "
          f"deep tree: {args.deep_width} entries per level; fastest of {args.repeat} runs "
          f"below {ONE_RUN_FROM:,} entries; trees under {args.work}\n")
    print("| tree | program | entries | seconds | entries/s | µs/entry | peak MB | × floor "
          "| syscalls/entry | left unfolded |")
    print("|---|---|--:|--:|--:|--:|--:|--:|--:|--:|")
    for tree, name, entries, result, ratio in rows:
        calls = f"{result['calls']:.2f}" if result["calls"] is not None else ""
        print(f"| {tree} | {name} | {entries:,} | {result['seconds']:.3f} "
              f"| {entries / result['seconds']:,.0f} | {result['seconds'] / entries * 1e6:.2f} "
              f"| {result['peak'] / 1024:.1f} | {ratio:.2f} | {calls} | {result['left']:,} |")
    print()


def print_checks(results, sizes, args):
    def per_entry(size):
        return results["ansifold", size]["seconds"] / results["entries", size]

    main = args.entries
    ratio = results["ansifold", main]["seconds"] / results["floor", main]["seconds"]
    print(f"ansifold / floor at {results['entries', main]:,} entries: {ratio:.3f} "
          f"(at most 1.25)")
    if len(sizes) > 1:
        small, large = sizes[0], sizes[-1]
        print(f"ansifold per-entry time, {results['entries', large]:,} / "
              f"{results['entries', small]:,} entries: {per_entry(large) / per_entry(small):.3f} "
              f"(at most 1.2); peak memory {results['ansifold', small]['peak'] / 1024:.1f} -> "
              f"{results['ansifold', large]['peak'] / 1024:.1f} MB")
    if args.deep:
        deep = results["ansifold", "deep"]
        whole = "walked whole" if deep["left"] == 0 else f"{deep['left']:,} names not reached"
        print(f"ansifold on {args.deep} levels: {whole}, peak memory {deep['peak'] / 1024:.1f} MB")


def main():
    args = parse_arguments()
    build = os.path.abspath(args.build)
    floor = Program("floor", [os.path.join(build, "floor"), "t"])
    ansifold = Program("ansifold", [os.path.join(build, "ansifold"), "t"])
    detox = Program("detox", ["detox", "-r", "t"])
    bench = Bench(args, tempfile.mkdtemp(prefix="ansifold-bench-", dir=args.work))

    sizes = sorted({args.entries, *(int(s) for s in args.scale.split(",") if s)})
    trees = [(size, f"{size:,} wide") for size in sizes] + ([("deep", f"{args.deep:,} deep")]
                                                           if args.deep else [])
    rows, results = [], {}
    try:
        for key, label in trees:
            source = os.path.join(bench.scratch, "src")
            if key == "deep":
                entries = generate_deep(os.path.join(source, "t"), args)
            else:
                entries = generate_wide(os.path.join(source, "t"), args, key)
            results["entries", key] = entries
            side_by_side = key == args.entries
            programs = [floor, ansifold] + ([detox] if side_by_side and not args.no_detox else [])
            measured = bench.measure(programs, source, entries, side_by_side and not args.no_strace)
            for program in programs:
                result = measured[program.name]
                results[program.name, key] = result
                ratio = result["seconds"] / measured["floor"]["seconds"]
                rows.append((label, program.name, entries, result, ratio))
            bench.remove(source)
    finally:
        bench.remove(bench.scratch)
    print_table(rows, args)
    print_checks(results, sizes, args)


if __name__ == "__main__":
    main()
