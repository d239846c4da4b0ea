"""Names that the ANSI code page cannot hold: what they become, collisions,
and folded names that must not be used. Expectations follow the code page of
the locale (932 under ja_JP.UTF-8, 1252 under C.UTF-8)."""

import os
import re
import unittest

import harness
from harness import (Dir, File, TreeTestCase, build, failed, moved, read_tree, render_records,
                     tree_after, walk_records)

# Old name -> folded name, per code page.
FOLDS = [
    ("テスト.txt", {932: "テスト.txt", 1252: "___.txt"}),
    ("café.txt", {932: "cafe.txt", 1252: "café.txt"}),
    ("😀.txt", {932: "__.txt", 1252: "__.txt"}),
    # Written decomposed, as macOS writes names: composed before the fold.
    ("\u306F\u309A\u3072\u309A\u3075\u309A\u3078\u309A\u307B\u309A",
     {932: "ぱぴぷぺぽ", 1252: "_____"}),
    ("A\u030Angstro\u0308m", {932: "Angstrom", 1252: "Ångström"}),
]


def folded(name):
    return dict(FOLDS)[name][harness.code_page()]


class Folding(TreeTestCase):
    def test_named_entries_and_a_walked_directory(self):
        named = [File(name, moved(folded(name))) for name, _ in FOLDS]
        folder_as, file_as = {932: ("日本", "ゆき__.txt"),
                              1252: ("__", "____.txt")}[harness.code_page()]
        folder = Dir("日本", File("ゆき😀.txt", moved(file_as)), outcome=moved(folder_as))
        mix = Dir("mix", *[File(name, moved(folded(name))) for name, _ in FOLDS])
        build(self.root, named + [folder, mix])

        result = self.run_program([node.name for node in named] + ["日本", "mix"])

        self.assertWalk(result, [[node] for node in named] + [[folder], [mix]])
        self.assertTree(self.root, tree_after(named + [folder, mix]))


class Collisions(TreeTestCase):
    """Two entries of one directory that want one name: the first handled
    gets it, the other keeps its name, and nothing is replaced."""

    def cases(self):
        per_code_page = {
            932: [("existing accented", [File("café.txt", failed("cafe.txt")), File("cafe.txt")])],
            1252: [("two Japanese", [File("テス.txt", moved("__.txt")),
                                     File("アイ.txt", failed("__.txt"))])],
        }
        return [
            ("two emoji files",
             [File("😀.txt", moved("__.txt")), File("😁.txt", failed("__.txt"))]),
            ("file onto file", [File("😀.txt", failed("__.txt")), File("__.txt")]),
            ("directory onto empty directory",
             [Dir("😀", File("inside-a"), outcome=failed("__")), Dir("__")]),
            ("file onto directory", [File("😀", failed("__")), Dir("__", File("inside-b"))]),
            ("directory onto file",
             [Dir("😀", File("inside-c"), outcome=failed("__")), File("__")]),
        ] + per_code_page[harness.code_page()]

    def test_named_entries(self):
        # One folder per case; the entries that carry an outcome are named in
        # order, the others only stand in the way.
        arguments, expected, after = [], [], {}
        for index, (label, nodes) in enumerate(self.cases()):
            folder = f"case{index}"
            build(self.folder(folder), nodes)
            named = [node for node in nodes if node.outcome != moved(node.name)]
            arguments += [f"{folder}/{node.name}" for node in named]
            expected += walk_records(named)
            after[folder] = tree_after(nodes, lambda node, named=named: node in named)

        result = self.run_program(arguments)

        self.assertOutput(result, render_records(expected), code=2)
        self.assertTree(self.root, after)

    def test_walked_directory(self):
        first, second = File("😀.txt", data=b"first"), File("😁.txt", data=b"second")
        build(self.root, [Dir("walk", first, second)])

        result = self.run_program(["walk"])

        self.assertExit(result, 2)
        records = result.records
        self.assertEqual(records[-1], ("walk", moved("walk")), result.describe())
        outcomes = sorted(records[:-1])
        winner, loser = (0, 1) if outcomes[0][1] == moved("__.txt") else (1, 0)
        self.assertEqual([outcomes[winner][1], outcomes[loser][1]],
                         [moved("__.txt"), failed("__.txt")], result.describe())
        contents = {"😀.txt": b"first", "😁.txt": b"second"}
        self.assertTree(self.root, {"walk": {
            "__.txt": contents[outcomes[winner][0]],
            outcomes[loser][0]: contents[outcomes[loser][0]],
        }})


class RefusedNames(TreeTestCase):
    """Best-fit mapping can turn a character into one that paths give a
    meaning. Such an entry must keep its name and place (the failure line
    shows the folded name); a name that stays as it is still moves."""

    # Old name -> outcome under Wine, per code page. The directories x and a
    # stand beside them: a move through a separator would land in one.
    HAZARDS = [
        ("x¥y.txt", {932: failed("x\\y.txt"), 1252: moved("x¥y.txt")}),
        ("a／b.txt", {932: moved("a／b.txt"), 1252: failed("a/b.txt")}),
        ("ｐ：ｑ", {932: moved("ｐ：ｑ"), 1252: failed("p:q")}),
        ("．．", {932: moved("．．"), 1252: failed("..")}),
        ("end．", {932: moved("end．"), 1252: failed("end.")}),
        ("ｎｕｌ.txt", {932: moved("ｎｕｌ.txt"), 1252: failed("nul.txt")}),
        ("ｗｈｙ＊", {932: moved("ｗｈｙ＊"), 1252: failed("why*")}),
        ("＜ｂ＞｜", {932: moved("＜ｂ＞｜"), 1252: failed("<b>|")}),
    ]
    PLAIN = re.compile(r'^[^\\/:*?"<>|\x00-\x1f]+$')

    def test_hazards(self):
        work = self.folder("work")
        nodes = [File(name, outcome[harness.code_page()]) for name, outcome in self.HAZARDS]
        build(work, nodes + [Dir("x"), Dir("a")])

        result = self.run_program([node.name for node in nodes], cwd=work)

        if harness.under_wine():
            self.assertOutput(result, render_records(walk_records(nodes)), code=2)
            self.assertTree(self.root, {"work": tree_after(nodes + [Dir("x"), Dir("a")])})
            return
        # Natively the code page's own mapping decides; whatever it gives, an
        # entry moves only to a plain name of its own directory.
        self.assertExit(result, harness.report_code(result.text))
        records = result.records
        self.assertEqual([name for name, _ in records], [n.name for n in nodes], result.describe())
        expected = {"x": {}, "a": {}}
        for name, outcome in records:
            data = name.encode()
            if outcome[0] == "moved":
                self.assertRegex(outcome[1], self.PLAIN)
                self.assertNotIn(outcome[1], (".", ".."))
                expected[outcome[1]] = data
            else:
                expected[name] = data
        self.assertEqual(os.listdir(self.root), ["work"])
        self.assertEqual(read_tree(work), expected, result.describe())


if __name__ == "__main__":
    unittest.main()
