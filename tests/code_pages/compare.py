#!/usr/bin/env python3
"""Runs the code page dump of the Windows build (under Wine) and of the POSIX
build, and reports every line where they differ, by section (the forms of
the units, then each code page). Fails on any difference, or when either
program fails."""

import argparse
import collections
import subprocess
import sys

SHOWN_PER_PAGE = 10


def dump(command):
    result = subprocess.run(command, stdout=subprocess.PIPE, check=False, timeout=600)
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)}: exit status {result.returncode}")
    return result.stdout.replace(b"\r\n", b"\n").decode("ascii").splitlines()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--windows", required=True, nargs="+", help="the Windows dump's command")
    parser.add_argument("--posix", required=True, help="the POSIX dump")
    args = parser.parse_args()
    windows = dump(args.windows)
    posix = dump([args.posix])
    if len(windows) != len(posix):
        sys.exit(f"{len(windows)} lines from Windows, {len(posix)} from POSIX")
    differences = collections.Counter()
    section = None
    for ours, theirs in zip(posix, windows):
        if theirs.startswith("page ") or theirs == "forms":
            section = theirs
            differences[section] += 0
        if ours != theirs:
            differences[section] += 1
            if differences[section] <= SHOWN_PER_PAGE:
                print(f"{section}: Windows {theirs!r}, POSIX {ours!r}")
    for section, count in differences.items():
        print(f"{section}: {count} differences")
    return 1 if sum(differences.values()) else 0


if __name__ == "__main__":
    sys.exit(main())
