#!/bin/sh
# Sets up the machine, then builds the presets and runs every test: natively
# under the sanitizers, natively optimised and under valgrind, the 32-bit
# product's end-to-end tests under an emulated i386 Wine, and the x64 Windows
# build's tests, unit tests included, under Wine.
set -eu
cd "$(dirname "$0")/.."
./tools/setup.sh
# The builds use every core by themselves (Ninja); the tests are told to.
CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
export CTEST_PARALLEL_LEVEL
# A failure shows what the test printed, so that a run in CI can be read.
CTEST_OUTPUT_ON_FAILURE=1
export CTEST_OUTPUT_ON_FAILURE
for preset in native release win32 win64 fuzz; do
    echo "== $preset"
    cmake --workflow --preset "$preset"
done
