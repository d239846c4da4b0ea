#!/usr/bin/env python3
"""The Debian package installs with apt-get and holds the program, both
manual pages and the documents; the installed program folds a scratch tree;
man finds both pages and renders them without a warning; and the package is
removed without a trace.

Installing needs root: without it the check exits with 77 (skipped). Every
build on this machine installs the same package, so the checks take turns
under a machine-wide lock, and one never touches an ansifold that was
installed before it began."""

import contextlib
import fcntl
import os
import subprocess
import sys
import tempfile

from package_support import arguments, make_package

PACKAGE = "ansifold"
SKIPPED = 77
PACKAGE_FILES = {
    "/usr/bin/ansifold",
    "/usr/share/man/man1/ansifold.1.gz",
    "/usr/share/man/ja/man1/ansifold.1.gz",
    "/usr/share/doc/ansifold/README.md",
    "/usr/share/doc/ansifold/README.ja.md",
    "/usr/share/doc/ansifold/LICENSE",
    "/usr/share/doc/ansifold/copyright",
    "/usr/share/doc/ansifold/changelog.gz",
}
# Locale -> the page that man picks for it and a heading of that page.
MANUAL_PAGES = {
    "C.UTF-8": ("/usr/share/man/man1/ansifold.1.gz", "SYNOPSIS"),
    "ja_JP.UTF-8": ("/usr/share/man/ja/man1/ansifold.1.gz", "書式"),
}


@contextlib.contextmanager
def machine_lock():
    with open(os.path.join(tempfile.gettempdir(), "ansifold-package-check.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


def apt_get(*arguments):
    subprocess.run(["apt-get", "-y", "-qq", "-o", "DPkg::Lock::Timeout=300", *arguments],
                   check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))


def installed():
    query = subprocess.run(["dpkg-query", "-W", "-f=${Status}", PACKAGE],
                           capture_output=True, text=True)
    return query.stdout.endswith(" installed")


def installed_files():
    listing = subprocess.run(["dpkg-query", "-L", PACKAGE], capture_output=True, text=True,
                             check=True).stdout.splitlines()
    return {path for path in listing if os.path.isfile(path)}


def environment(lang):
    env = {name: value for name, value in os.environ.items()
           if not name.startswith("LC_") and name not in ("LANGUAGE", "MANPATH", "MANOPT")}
    return dict(env, LANG=lang, MANPAGER="cat", MANWIDTH="80")


def check_program(failures):
    with tempfile.TemporaryDirectory(prefix="ansifold-deb-") as root:
        folder = os.path.join(root, "写真")
        os.mkdir(folder)
        open(os.path.join(folder, "café.txt"), "wb").close()
        # Confined to its scratch folder, as every test runs the program.
        confine = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e",
                               "confine.py")
        command = [sys.executable, "-I", "-S", confine, "--writable", root, "--",
                   "/usr/bin/ansifold", "写真"]
        run = subprocess.run(command, cwd=root, capture_output=True,
                             stdin=subprocess.DEVNULL, env=environment("ja_JP.UTF-8"))
        expected = "café.txt\n->cafe.txt\n写真\n->写真\n".encode()
        if run.returncode != 0 or run.stdout != expected:
            failures.append(f"installed ansifold: exit code {run.returncode}, "
                            f"output {run.stdout!r}, expected {expected!r}")
        if os.listdir(folder) != ["cafe.txt"]:
            failures.append(f"installed ansifold left {os.listdir(folder)!r}")


def check_manual(failures):
    for lang, (path, heading) in MANUAL_PAGES.items():
        where = subprocess.run(["man", "-w", PACKAGE], capture_output=True, text=True,
                               env=environment(lang))
        if where.stdout.strip() != path:
            failures.append(f"LANG={lang} man -w: {where.stdout.strip()!r}, expected {path!r}")
        page = subprocess.run(["man", "--warnings=w", PACKAGE], capture_output=True, text=True,
                              env=environment(lang))
        if page.returncode != 0 or page.stderr or heading not in page.stdout:
            failures.append(f"LANG={lang} man: exit code {page.returncode}, "
                            f"stderr {page.stderr!r}, {heading!r} in page: "
                            f"{heading in page.stdout}")


def main():
    options = arguments()
    if os.geteuid() != 0:
        print("skipped: installing a package needs root")
        return SKIPPED
    failures = []
    with machine_lock(), tempfile.TemporaryDirectory(prefix="ansifold-deb-") as folder:
        if installed():
            print(f"skipped: {PACKAGE} is installed on this machine; the check leaves it alone")
            return SKIPPED
        os.chmod(folder, 0o755)  # apt reads the package as its own user
        apt_get("install", "--no-install-recommends", make_package(options, "DEB", folder))
        try:
            files = installed_files()
            if files != PACKAGE_FILES:
                failures.append(f"the package installed {sorted(files)}, "
                                f"expected {sorted(PACKAGE_FILES)}")
            check_program(failures)
            check_manual(failures)
        finally:
            apt_get("purge", PACKAGE)
        left = sorted(path for path in files | {"/usr/share/doc/ansifold"}
                      if os.path.lexists(path))
        if installed() or left:
            failures.append(f"after removal: installed {installed()}, left behind {left}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
