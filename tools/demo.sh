#!/bin/sh
# Sets up what the demo needs, builds the Linux program and shows it on a
# sample tree whose names need folding for the Japanese ANSI code page (932):
# accented letters, an emoji, and two names that fold to one. First a dry
# run, which renames nothing; then the run, with a log; then an undo of that
# log, which brings the tree back as it was.
set -eu
cd "$(dirname "$0")/.."
./tools/setup.sh demo
# Only the program: no tests, so none of their tools are needed.
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DANSIFOLD_TESTS=OFF >/dev/null
cmake --build build/demo --target ansifold >/dev/null

sample=build/sample
log=build/sample.log
rm -rf "$sample" "$log"
mkdir -p "$sample/写真/Café" "$sample/notes"
touch "$sample/写真/Café/crème brûlée.jpg" "$sample/写真/😀 party.png" \
      "$sample/notes/naïve.txt" "$sample/notes/naive.txt" "$sample/notes/日本語.txt"

tree() { (cd "$sample" && find . -mindepth 1 | sort); }

# The program writes UTF-8, on a terminal and redirected alike.
ansifold() {
    echo "\$ ansifold $*   (LANG=ja_JP.UTF-8, ANSI code page 932)"
    (cd "$sample" && LANG=ja_JP.UTF-8 LC_ALL= ../demo/ansifold "$@")
    echo
}

before=$(tree)
echo "The sample tree:"; echo "$before"; echo
ansifold --dry-run 写真 notes
echo "After the dry run, nothing has changed:"; tree; echo
ansifold --log=../sample.log 写真 notes
echo "After the run:"; tree; echo
echo "The log, $log:"; cat "$log"; echo
ansifold --undo=../sample.log
echo "After the undo:"; tree
if [ "$(tree)" = "$before" ]; then
    echo "The sample tree is back as it was."
else
    echo "The sample tree differs from what it was." >&2
    exit 1
fi
