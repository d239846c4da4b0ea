#!/usr/bin/env python3
"""Runs the code page dump of the Windows build (under Wine) and of the POSIX
build, and reports every line where they differ, by code page. Fails on any
difference, or when either program fails."""

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
    page = None
    for ours, theirs in zip(posix, windows):
        if theirs.startswith("page "):
            page = theirs.split()[1]
            differences[page] += 0
        if ours != theirs:
            differences[page] += 1
            if differences[page] <= SHOWN_PER_PAGE:
                print(f"{page}: Windows {theirs!r}, POSIX {ours!r}")
    for page, count in differences.items():
        print(f"code page {page}: {count} differences")
    return 1 if sum(differences.values()) else 0


if __name__ == "__main__":
    sys.exit(main())
