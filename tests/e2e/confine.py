"""Runs a command where nothing but the folders it is given can be written.

    python3 confine.py --writable DIR [--writable DIR ...] -- COMMAND [ARGUMENT ...]
    python3 confine.py --admit PID DIR
    python3 confine.py --release PID DIR

The program under test renames whatever it is handed, and a fault in its walk
would rename whatever it reaches. So every start of it goes through here: in
a mount namespace of its own, every mount of the machine is made read-only,
recursively, and only the writable folders are bound back writable. The
command is then executed in place of this process, with its standard streams,
working directory and environment as given.

A process that serves others, such as a wine server, which does the renames
of the programs it serves, is confined once and then admitted to each test's
scratch folder in turn: --admit binds DIR writable into the namespace (and
root) of process PID, and --release takes it away again.

Where the namespace cannot be made (no privilege), nothing is run: the exit
code is 125 and standard error says why. Nothing ever runs unconfined.
"""

import ctypes
import errno
import os
import sys

CLONE_NEWNS = 0x00020000
MS_BIND = 0x1000
MS_REC = 0x4000
MS_PRIVATE = 1 << 18
AT_FDCWD = -100
AT_RECURSIVE = 0x8000
MOUNT_ATTR_RDONLY = 0x1
MNT_DETACH = 0x2
SYS_MOUNT_SETATTR = 442  # the same number on every architecture that has it
REFUSED = 125


class MountAttr(ctypes.Structure):
    _fields_ = [("attr_set", ctypes.c_uint64), ("attr_clr", ctypes.c_uint64),
                ("propagation", ctypes.c_uint64), ("userns_fd", ctypes.c_uint64)]


_libc = ctypes.CDLL(None, use_errno=True)


def _check(result, what):
    if result != 0:
        error = ctypes.get_errno()
        raise OSError(error, f"{what}: {os.strerror(error)}")


def _read_only(path, read_only):
    """Sets or clears read-only on the mount at path and every mount below it."""
    attributes = MountAttr(MOUNT_ATTR_RDONLY if read_only else 0,
                           0 if read_only else MOUNT_ATTR_RDONLY, 0, 0)
    _check(_libc.syscall(SYS_MOUNT_SETATTR, AT_FDCWD, os.fsencode(path), AT_RECURSIVE,
                         ctypes.byref(attributes), ctypes.sizeof(attributes)),
           f"mount_setattr {path}")


def enter(writable):
    """Moves the calling process into a mount namespace where every mount is
    read-only but the writable folders. The mounts are copies: files open
    before (the output files of the run) stay writable."""
    folders = [os.path.realpath(folder) for folder in writable]
    for folder in folders:
        if not os.path.isdir(folder):
            raise OSError(f"no such folder to leave writable: {folder}")
    _check(_libc.unshare(CLONE_NEWNS), "unshare")
    _check(_libc.mount(None, b"/", None, MS_REC | MS_PRIVATE, None), "mount --make-rprivate /")
    for folder in folders:
        path = os.fsencode(folder)
        _check(_libc.mount(path, path, None, MS_BIND | MS_REC, None), f"mount --rbind {folder}")
    _read_only("/", True)
    for folder in folders:
        _read_only(folder, False)
    # The working directory still lies on the mount below the new ones:
    # entered again by its path, it lies on the mount that the path leads to.
    try:
        os.chdir(os.getcwd())
    except OSError:
        pass  # a working directory removed on purpose stays as it is
    # Checked, not assumed: a mount that kept its write bit would be a way out.
    parents = {"/"} | {os.path.dirname(folder) for folder in folders}
    for parent in parents:
        inside = any(parent == f or parent.startswith(f + "/") for f in folders)
        if not inside and os.access(parent, os.W_OK):
            raise OSError(f"{parent} is still writable after confinement")


def _enter_namespace_of(pid, folder=None):
    """Moves the calling process into the mount namespace and root of pid;
    gives a descriptor of folder as the namespace sees it outside that root
    (a chroot's root, which holds only what was bound into it)."""
    with open(f"/proc/{pid}/ns/mnt") as namespace:
        _check(_libc.setns(namespace.fileno(), CLONE_NEWNS), f"setns {pid}")
    source = os.open(folder, os.O_PATH | os.O_DIRECTORY) if folder else None
    os.chroot(f"/proc/{pid}/root")
    os.chdir("/")
    return source


def admit(pid, folder):
    source = _enter_namespace_of(pid, folder)
    os.makedirs(folder, exist_ok=True)  # in a chroot's own /tmp, the mount point
    _check(_libc.mount(f"/proc/self/fd/{source}".encode(), os.fsencode(folder), None,
                       MS_BIND | MS_REC, None), f"mount --rbind {folder}")
    _read_only(folder, False)


def release(pid, folder):
    _enter_namespace_of(pid)
    if _libc.umount2(os.fsencode(folder), MNT_DETACH) != 0:
        # A folder removed while admitted took its mount with it.
        if ctypes.get_errno() not in (errno.ENOENT, errno.EINVAL):
            _check(-1, f"umount {folder}")


def main(argv):
    arguments = argv[1:]
    if len(arguments) == 3 and arguments[0] in ("--admit", "--release"):
        try:
            (admit if arguments[0] == "--admit" else release)(int(arguments[1]), arguments[2])
        except OSError as error:
            print(f"confine: {arguments[0]} {arguments[2]}: {error}", file=sys.stderr)
            return REFUSED
        return 0
    writable = []
    while arguments and arguments[0] == "--writable":
        writable.append(arguments[1])
        arguments = arguments[2:]
    if not arguments or arguments[0] != "--" or len(arguments) < 2 or not writable:
        print(__doc__, file=sys.stderr)
        return REFUSED
    try:
        enter(writable)
    except OSError as error:
        print(f"confine: refusing to run the program unconfined: {error}", file=sys.stderr)
        return REFUSED
    try:
        os.execvp(arguments[1], arguments[1:])
    except OSError as error:
        print(f"confine: cannot run {arguments[1]}: {error}", file=sys.stderr)
        return REFUSED


if __name__ == "__main__":
    sys.exit(main(sys.argv))
