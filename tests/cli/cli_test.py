#!/usr/bin/env python3
"""kestrin-cli on real temporary trees: each subcommand's lines, its exit status and error messages, and
that a dry run prints what the real run prints while changing nothing.

    cli_test.py --cli build/dev/cli/kestrin-cli
    cli_test.py --cli build/windows/cli/kestrin-cli.exe --windows --emulator cmake/wine-run.sh --emulator PREFIX

With --windows the program is a Windows executable run through the emulator (Wine, code page 936): its
folders are named by their Z: drive paths and its bytes are GBK.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ARGS = None


class Cli(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="kestrin-cli-")
        self.addCleanup(shutil.rmtree, self.root, True)
        self.sep = "\\" if ARGS.windows else "/"
        self.enc = "gbk" if ARGS.windows else "utf-8"
        self.tree({
            "in/a.lua": "local t = 'ui/btn_ok' .. Bg_main",
            "in/b.lua": "nothing here",
            "in/PublicRes/ui/c.txt": "BTN_OK 资源",
            "in/资源/d.txt": "bg_main",
            "in/empty.txt": "",
            "ref/PublicRes/ui/btn_ok.png": "",
            "ref/ui/bg_main.png": "",
            "ref/ui/unused.png": "",
            "ref/资源.png": "",
        })

    def tree(self, files):
        for rel, content in files.items():
            path = os.path.join(self.root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(content.encode(self.enc))

    def read(self, rel):
        with open(os.path.join(self.root, rel), "rb") as f:
            return f.read()

    def p(self, rel=""):
        """A path below the temporary folder as the program names it."""
        path = os.path.join(self.root, rel) if rel else self.root
        return ("Z:" + path.replace("/", "\\")) if ARGS.windows else path

    def snapshot(self):
        out = {}
        for folder, dirs, files in os.walk(self.root):
            for name in dirs + files:
                full = os.path.join(folder, name)
                rel = os.path.relpath(full, self.root)
                out[rel] = None if os.path.isdir(full) else self.read(rel)
        return out

    def run_cli(self, *args, code=None):
        run = subprocess.run(ARGS.emulator + [ARGS.cli] + list(args), capture_output=True, timeout=300)
        out = run.stdout.decode(self.enc).replace("\r\n", "\n")
        err = "".join(line for line in run.stderr.decode(self.enc, "replace").replace("\r\n", "\n")
                      .splitlines(True) if not line.startswith("wine: ") and ":fixme:" not in line)
        if code is not None:
            self.assertEqual(run.returncode, code, f"{args}: stdout {out!r} stderr {err!r}")
        return out, err, run.returncode

    def test_search(self):
        cases = [  # arguments, expected paths (relative, in list order), exit status
            (["--content", "btn_ok"], ["in/a.lua"], 0),
            (["--content", "btn_ok", "--ignore-case"], ["in/a.lua", "in/PublicRes/ui/c.txt"], 0),
            (["--ext", "..txt", "--no-recursive"], ["in/empty.txt"], 0),
            (["--name", "资源", "--content", "bg"], ["in/资源/d.txt"], 0),
            (["--content", "QuartzFalcon"], [], 1),
        ]
        for args, expected, code in cases:
            with self.subTest(args=args):
                out, err, _ = self.run_cli("search", *args, self.p("in"), code=code)
                self.assertEqual(sorted(out.splitlines()), sorted(self.p(e) for e in expected))
                self.assertEqual(err, "")
        out, _, _ = self.run_cli("search", "-0", "--content", "nothing", self.p("in"), code=0)
        self.assertEqual(out, self.p("in/b.lua") + "\0")

    def test_refs(self):
        s = self.sep
        cases = [  # arguments, expected {relative path: count}
            ([], {f"PublicRes{s}ui{s}btn_ok.png": 1, f"ui{s}bg_main.png": 1, f"ui{s}unused.png": 0, "资源.png": 1}),
            (["--ignore-case"], {f"PublicRes{s}ui{s}btn_ok.png": 2, f"ui{s}bg_main.png": 2,
                                 f"ui{s}unused.png": 0, "资源.png": 1}),
            (["--with-dir", "--with-ext"], {f"PublicRes{s}ui{s}btn_ok.png": 0, f"ui{s}bg_main.png": 0,
                                            f"ui{s}unused.png": 0, "资源.png": 0}),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                out, err, _ = self.run_cli("refs", *args, self.p("ref"), self.p("in"), code=0)
                lines = dict(reversed(line.split("\t")) for line in out.splitlines())
                self.assertEqual({k: int(v) for k, v in lines.items()}, expected)
        out, _, _ = self.run_cli("refs", "--unused", self.p("ref"), self.p("in"), code=0)
        self.assertEqual(out, f"0\tui{s}unused.png\n")
        self.tree({"in/uses_unused.txt": "unused"})
        self.run_cli("refs", "--unused", self.p("ref"), self.p("in"), code=1)  # nothing unused: no line

    def test_rename_dry_run_prints_the_real_lines_and_changes_nothing(self):
        self.tree({"in/a.txt": "taken"})  # a.lua cannot become a.txt without --force
        for extra, code in [([], 1), (["--force"], 0)]:
            with self.subTest(extra=extra):
                before = self.snapshot()
                dry, dry_err, _ = self.run_cli("rename", "--old", ".LUA", "--new", ".txt", "--dry-run", *extra,
                                               self.p("in"), code=code)
                self.assertEqual(self.snapshot(), before)
                real, real_err, _ = self.run_cli("rename", "--old", ".LUA", "--new", ".txt", *extra, self.p("in"),
                                                 code=code)
                self.assertEqual(dry, real)
                self.assertEqual(dry_err, real_err)
                renamed = sorted(line.split("\t")[1] for line in real.splitlines())
                if extra:
                    self.assertEqual(renamed, [self.p("in/a.txt")])
                    self.assertEqual(self.read("in/a.txt"), before["in/a.lua"])
                else:
                    self.assertEqual(renamed, [self.p("in/b.txt")])
                    self.assertEqual(real_err, f"kestrin-cli: {self.p('in/a.lua')}: target exists\n")

    def test_copy_dry_run_prints_the_real_lines_and_changes_nothing(self):
        args = ["copy", "--output", self.p("out/new"), "--prefix", self.p("in") + self.sep, "--content", "bg",
                "--ignore-case", self.p("in")]
        before = self.snapshot()
        dry, _, _ = self.run_cli(*args[:1], "--dry-run", *args[1:], code=0)
        self.assertEqual(self.snapshot(), before)
        real, _, _ = self.run_cli(*args, code=0)
        self.assertEqual(dry, real)
        self.assertEqual(len(real.splitlines()), 2)
        copied = {k: v for k, v in self.snapshot().items() if k.startswith("out") and v is not None}
        self.assertEqual(copied, {os.path.join("out", "new", "a.lua"): before["in/a.lua"],
                                  os.path.join("out", "new", "资源", "d.txt"): before[os.path.join("in", "资源", "d.txt")]})
        # An empty prefix maps every file onto itself: each copy fails, is reported, and nothing changes.
        before = self.snapshot()
        _, err, _ = self.run_cli("copy", "--output", self.p("out"), "--prefix", "", "--content", "nothing",
                                 self.p("in"), code=1)
        self.assertRegex(err, "^" + re.escape(f"kestrin-cli: {self.p('in/b.lua')}: ") + "[^\n]+\n$")
        self.assertEqual(self.snapshot(), before)
        _, err, _ = self.run_cli("copy", "--output", self.p("out"), "--content", "QuartzFalcon", self.p("in"), code=1)
        self.assertEqual(err, "kestrin-cli: no files to copy\n")

    def test_usage_errors_are_one_line_with_status_2(self):
        cases = [
            ([], "a command is missing"),
            (["frobnicate", self.p("in")], "unknown command frobnicate"),
            (["search", "--bogus", self.p("in")], "unknown option --bogus"),
            (["search", "--unused", self.p("in")], "search does not take --unused"),
            (["search", "--content"], "--content needs a value"),
            (["search"], "search: a folder is missing"),
            (["search", self.p("in"), self.p("ref")], "search: unexpected operand " + self.p("ref")),
            (["search", self.p("in/a.lua")], self.p("in/a.lua") + ": not a folder"),
            (["refs", self.p("ref"), self.p("missing")], self.p("missing") + ": not a folder"),
            (["rename", self.p("in")], "rename: --old is missing or empty"),
            (["rename", "--old", "x" * 128, self.p("in")], "rename: --old and --new take at most 127 bytes"),
            (["copy", self.p("in")], "copy: --output is missing"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                before = self.snapshot()
                out, err, _ = self.run_cli(*args, code=2)
                self.assertEqual(out, "")
                self.assertEqual(err, f"kestrin-cli: {message} (see kestrin-cli --help)\n")
                self.assertEqual(self.snapshot(), before)

    def test_help_and_version(self):
        out, _, _ = self.run_cli("--help", code=0)
        self.assertIn("kestrin-cli refs", out)
        out, _, _ = self.run_cli("--version", code=0)
        self.assertRegex(out, r"^kestrin-cli \d+\.\d+\.\d+\n$")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--windows", action="store_true")
    parser.add_argument("--emulator", action="append", default=[])
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
