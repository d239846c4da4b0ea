#!/bin/sh
# Sets up the machine, builds the Linux program and runs it on a sample tree
# whose names need folding for the Japanese ANSI code page (932): accented
# letters, an emoji, and two names that fold to one.
set -eu
cd "$(dirname "$0")/.."
./tools/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target ansifold >/dev/null

sample=build/sample
rm -rf "$sample"
mkdir -p "$sample/写真/Café" "$sample/notes"
touch "$sample/写真/Café/crème brûlée.jpg" "$sample/写真/😀 party.png" \
      "$sample/notes/naïve.txt" "$sample/notes/naive.txt" "$sample/notes/日本語.txt"
echo "Before:"; (cd "$sample" && find . -mindepth 1 | sort)
echo
echo "ansifold 写真 notes   (LANG=ja_JP.UTF-8, ANSI code page 932):"
# On a terminal the program writes console text; redirected, it writes raw
# UTF-16LE, which is turned into UTF-8 here so that it reads the same.
if [ -t 1 ]; then
    (cd "$sample" && LANG=ja_JP.UTF-8 LC_ALL= ../native/ansifold 写真 notes)
else
    (cd "$sample" && LANG=ja_JP.UTF-8 LC_ALL= ../native/ansifold 写真 notes) | iconv -f UTF-16LE -t UTF-8
fi
echo
echo "After:"; (cd "$sample" && find . -mindepth 1 | sort)
