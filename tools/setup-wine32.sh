#!/bin/sh
# Installs what runs the 32-bit Windows program here: this kernel runs no
# 32-bit x86 code, so Debian's i386 Wine runs in an i386 Debian chroot whose
# programs qemu-i386 emulates through binfmt_misc. Quick when everything is
# there; the first time it takes several minutes and about 1 GB.
#
# The chroot lives outside the checkout (cmake/wine32-run finds it at the same
# place), so new clones and removed build trees reuse it.
set -eu

base=${ANSIFOLD_WINE32:-/var/lib/ansifold-wine32}
root=$base/root
qemu=$base/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/ansifold-i386
mirror=http://deb.debian.org/debian
log=$base/setup.log
# Raise when the chroot's recipe changes, so that every machine rebuilds it.
recipe=1

ready() {
    [ -x "$qemu" ] && [ -f "$entry" ] &&
        [ "$(cat "$root/.ansifold-recipe" 2>/dev/null)" = "$recipe" ]
}

# Bookworm's own qemu-user is some twenty times slower than the backported
# one, which is fetched with an apt configuration of its own so that the
# machine's package sources stay as they are.
install_qemu() {
    [ -x "$qemu" ] && return
    echo "setup: fetching qemu-i386 from bookworm-backports"
    work=$base/qemu-download
    rm -rf "$work"
    mkdir -p "$work/lists/partial" "$work/archives/partial"
    echo "deb $mirror bookworm-backports main" >"$work/sources.list"
    apt="-q -o Dir::Etc::sourcelist=$work/sources.list -o Dir::Etc::sourceparts=-
        -o Dir::State::lists=$work/lists -o Dir::Cache::archives=$work/archives
        -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o APT::Sandbox::User=root"
    apt-get $apt update
    (cd "$work" && apt-get $apt download qemu-user/bookworm-backports)
    package=$(echo "$work"/qemu-user_*.deb)
    dpkg-deb --fsys-tarfile "$package" | tar -x -O ./usr/share/qemu/binfmt.d/qemu-i386.conf \
        >"$base/qemu-i386.conf"
    dpkg-deb --fsys-tarfile "$package" | tar -x -O ./usr/bin/qemu-i386 >"$qemu.new"
    chmod 755 "$qemu.new"
    mv "$qemu.new" "$qemu"
    rm -rf "$work"
}

# binfmt_misc forgets its entries when the machine restarts. F opens the
# interpreter now, so that it also starts inside the chroot; P keeps argv[0].
register_binfmt() {
    [ -f "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
    [ -f "$entry" ] && return
    echo "setup: registering qemu-i386 for i386 programs"
    # The package's own pattern for i386 ELF programs, under a name of ours.
    magic_and_mask=$(cut -d: -f3-6 "$base/qemu-i386.conf")
    echo ":ansifold-i386:$magic_and_mask:$qemu:FP" >"$binfmt/register"
}

# Runs a command inside the chroot with /dev and /proc bound in a mount
# namespace of its own, so that nothing stays mounted when it ends.
in_chroot() {
    unshare -m sh -c '
        root=$1; shift
        mount --rbind /dev "$root/dev" && mount -t proc proc "$root/proc" &&
        exec chroot "$root" "$@"' sh "$root" "$@"
}

install_chroot() {
    [ "$(cat "$root/.ansifold-recipe" 2>/dev/null)" = "$recipe" ] && return
    echo "setup: building an i386 Debian in $root (several minutes)"
    rm -rf "$root"
    mkdir -p "$root"
    # debootstrap mounts /proc inside the target itself: keep that private too.
    unshare -m debootstrap --arch=i386 --variant=minbase bookworm "$root" "$mirror"
    echo "setup: installing Wine and the ja_JP.UTF-8 locale into it"
    in_chroot sh -c '
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -q &&
        apt-get install -y -q --no-install-recommends wine wine32 locales &&
        apt-get clean &&
        echo "ja_JP.UTF-8 UTF-8" > /etc/locale.gen &&
        locale-gen'
    echo "$recipe" >"$root/.ansifold-recipe"
}

ready && exit 0
if [ "$(id -u)" -ne 0 ]; then
    exec sudo env ANSIFOLD_WINE32="$base" "$0" "$@"
fi
mkdir -p "$base"
# Two set-ups at once would build one chroot twice over.
exec 9>"$base/.lock"
flock 9
trap 'echo "setup: the 32-bit runner failed; its log: $log" >&2' EXIT
{
    install_qemu
    register_binfmt
    install_chroot
} 2>&1 | tee "$log" | grep '^setup:' || true
ready
trap - EXIT
