#!/bin/sh
# Sets up the machine, then builds the presets and runs every test: natively
# under the sanitizers, natively optimised and under valgrind, the x64 Windows
# build under Wine, and the checks of the 32-bit product's executable.
set -eu
cd "$(dirname "$0")/.."
./tools/setup.sh
for preset in native release win32 win64 fuzz; do
    echo "== $preset"
    cmake --workflow --preset "$preset"
done
