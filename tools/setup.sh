#!/bin/sh
# Installs what building and testing ansifold needs on a Debian machine:
# the host compiler, both MinGW-w64 compilers with POSIX threads and their
# windres, Wine's 64-bit loader, GoogleTest, the Japanese locale, the tools
# the checks use, and the emulated i386 Wine that runs the 32-bit program.
# Quick when everything is there already. With the argument "demo", only what
# tools/demo.sh needs: the compiler, build tools and ICU for the Linux program and
# the Japanese locale.
set -eu

packages="cmake ninja-build g++ python3 clang-format libgtest-dev googletest libicu-dev locales
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64
  detox strace valgrind time debootstrap dpkg-dev file man-db groff-base
  clang libclang-rt-dev"
if [ "${1:-}" = demo ]; then
    packages="cmake ninja-build g++ libicu-dev locales"
fi

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing="$missing $package"
done
if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    echo "setup: generating the ja_JP.UTF-8 locale"
    as_root sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP\.UTF-8 UTF-8' /etc/locale.gen ||
        echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
fi

[ "${1:-}" = demo ] || "$(dirname "$0")/setup-wine32.sh"
