#!/bin/sh
# Sets up the machine, builds the release preset (ansifold and the floor
# program) and runs the benchmark; options go to bench/bench.py (--help).
set -eu
cd "$(dirname "$0")/.."
./tools/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target ansifold floor >/dev/null
exec python3 bench/bench.py --build build/release "$@"
