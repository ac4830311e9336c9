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
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
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

    def run_cli(self, *args, code=None, cwd=None, user=None, env=None):
        """user: run as that ordinary uid (root only; any other user runs as itself). env: the environment."""
        run = subprocess.run(self.as_user(user) + ARGS.emulator + [ARGS.cli] + list(args), capture_output=True,
                             timeout=300, cwd=cwd, env=env)
        out = run.stdout.decode(self.enc).replace("\r\n", "\n")
        err = "".join(line for line in run.stderr.decode(self.enc, "replace").replace("\r\n", "\n")
                      .splitlines(True) if not line.startswith("wine: ") and ":fixme:" not in line)
        if code is not None:
            self.assertEqual(run.returncode, code, f"{args}: stdout {out!r} stderr {err!r}")
        return out, err, run.returncode

    def as_user(self, user):
        if user is None or os.geteuid() != 0:
            return []
        os.chmod(self.root, 0o755)  # the ordinary user reaches the tree
        return ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups"]

    def users(self):
        """The users a permission case runs as: root and an ordinary user, or this ordinary user."""
        return [None, 65534] if os.geteuid() == 0 else [None]

    def start(self, *args, ignoring=None):
        """ignoring: a signal the program is started with ignored, as nohup or a background job starts it."""
        proc = subprocess.Popen(ARGS.emulator + [ARGS.cli] + list(args), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE,
                                preexec_fn=(lambda: signal.signal(ignoring, signal.SIG_IGN)) if ignoring else None)
        self.addCleanup(proc.stderr.close)
        self.addCleanup(proc.stdout.close)
        self.addCleanup(lambda: proc.poll() is not None or (proc.kill(), proc.wait()))
        return proc

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

    def test_option_values_that_look_like_requests_are_values(self):
        self.tree({"in/dash.txt": "--version -h --help"})
        cases = [  # arguments, expected result paths
            (["search", "--content", "--version"], ["in/dash.txt"]),
            (["search", "--content", "-h", "--ext", "txt"], ["in/dash.txt"]),
            (["search", "--name", "dash", "--content=--help"], ["in/dash.txt"]),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                out, err, _ = self.run_cli(*args, self.p("in"), code=0)
                self.assertEqual(out.splitlines(), [self.p(e) for e in expected])
                self.assertEqual(err, "")
        out, _, _ = self.run_cli("rename", "--old", "dash", "--new", "--help", self.p("in"), code=0)
        self.assertEqual(out, f"{self.p('in/dash.txt')}\t{self.p('in/--help.txt')}\n")
        # Where an option may stand, they are requests, as before.
        out, _, _ = self.run_cli("search", "--content", "x", "--help", self.p("in"), code=0)
        self.assertIn("kestrin-cli refs", out)
        out, _, _ = self.run_cli("search", "-h", code=0)
        self.assertIn("kestrin-cli refs", out)

    def test_nul_separates_source_and_target(self):
        name = "tab name" if ARGS.windows else "tab\tname"  # a TAB is no character of a Windows name
        self.tree({f"in/{name}_old.txt": "x"})
        out, _, _ = self.run_cli("rename", "-0", "--old", "_old", "--new", "_new", self.p("in"), code=0)
        self.assertEqual(out, self.p(f"in/{name}_old.txt") + "\0" + self.p(f"in/{name}_new.txt") + "\0")
        out, _, _ = self.run_cli("copy", "-0", "--output", self.p("out"), "--prefix", self.p("in") + self.sep,
                                 "--name", "tab", self.p("in"), code=0)
        out_folder = self.p("out").lower() if ARGS.windows else self.p("out")  # Windows folds the output's case
        self.assertEqual(out, self.p(f"in/{name}_new.txt") + "\0" + out_folder + self.sep + f"{name}_new.txt\0")
        out, _, _ = self.run_cli("refs", "-0", "--unused", self.p("ref"), self.p("in"), code=0)
        self.assertEqual(out, f"0\tui{self.sep}unused.png\0")  # a count and a path: a TAB as ever

    def test_new_name_with_a_separator_is_a_usage_error(self):
        news = ["sub/x", "/x", "x/"] + (["sub\\x"] if ARGS.windows else [])
        for new in news:
            with self.subTest(new=new):
                before = self.snapshot()
                out, err, _ = self.run_cli("rename", "--old", "a", "--new", new, self.p("in"), code=2)
                self.assertEqual((out, err), ("", "kestrin-cli: rename: --new cannot hold a path separator "
                                                  "(see kestrin-cli --help)\n"))
                self.assertEqual(self.snapshot(), before)

    def test_relative_output_is_made_below_the_working_folder(self):
        s = self.sep
        cases = [  # --output, the target printed
            ("new", f".{s}new{s}b.lua"),
            (f"new2{s}sub", f".{s}new2{s}sub{s}b.lua"),
            (f".{s}new3", f".{s}new3{s}b.lua"),
            (f"old{s}new4", f"old{s}new4{s}b.lua"),  # below an existing folder: named as given, as before
        ]
        os.mkdir(os.path.join(self.root, "old"))
        for output, target in cases:
            with self.subTest(output=output):
                args = ["--output", output, "--prefix", self.p("in") + s, "--content", "nothing", self.p("in")]
                before = self.snapshot()
                dry, _, _ = self.run_cli("copy", "--dry-run", *args, code=0, cwd=self.root)
                self.assertEqual(self.snapshot(), before)
                out, err, _ = self.run_cli("copy", *args, code=0, cwd=self.root)
                self.assertEqual((out, err), (f"{self.p('in/b.lua')}\t{target}\n", ""))
                self.assertEqual(dry, out)
                self.assertEqual(self.read(target.replace(s, "/")), self.read("in/b.lua"))

    def test_unreadable_top_folder_is_status_2(self):
        if ARGS.windows:
            self.skipTest("permissions are the POSIX side's")
        self.tree({"locked/a.txt": "a"})
        os.chmod(os.path.join(self.root, "locked"), 0)
        self.addCleanup(os.chmod, os.path.join(self.root, "locked"), 0o755)
        for user in self.users():
            if os.geteuid() == 0 and user is None:
                continue  # root reads any folder
            cases = [
                ["search", self.p("locked")],
                ["refs", self.p("ref"), self.p("locked")],
                ["refs", self.p("locked"), self.p("in")],
                ["rename", "--old", "a", self.p("locked")],
                ["copy", "--output", self.p("out"), self.p("locked")],
            ]
            for args in cases:
                with self.subTest(args=args, user=user):
                    out, err, _ = self.run_cli(*args, code=2, user=user)
                    self.assertEqual((out, err), ("", f"kestrin-cli: {self.p('locked')}: permission denied "
                                                      "(see kestrin-cli --help)\n"))

    def test_unwritable_output_folder_is_named(self):
        if ARGS.windows:
            self.skipTest("permissions are the POSIX side's")
        ro = os.path.join(self.root, "ro")
        os.makedirs(os.path.join(ro, "sub"))
        os.chmod(ro, 0o555)
        self.addCleanup(os.chmod, ro, 0o755)
        for user in self.users():
            if os.geteuid() == 0 and user is None:
                continue  # root writes into any folder
            for output, named in ((ro, ro), (os.path.join(ro, "new"), os.path.join(ro, "new"))):
                for dry in ([], ["--dry-run"]):
                    with self.subTest(output=output, dry=dry, user=user):
                        out, err, _ = self.run_cli("copy", *dry, "--output", output, "--content", "nothing",
                                                   self.p("in"), code=2, user=user)
                        message = "permission denied" if output == ro else "cannot create the output folder"
                        self.assertEqual((out, err), ("", f"kestrin-cli: {named}/: {message} "
                                                          "(see kestrin-cli --help)\n"))
            # A folder below it that the user may write to is as good as any.
            os.chmod(os.path.join(ro, "sub"), 0o777)
            self.run_cli("copy", "--output", os.path.join(ro, "sub"), "--prefix", self.p("in") + "/",
                         "--content", "nothing", self.p("in"), code=0, user=user)
    def test_search_and_refs_give_one_reason_for_an_unreadable_file(self):
        if ARGS.windows:
            self.skipTest("permissions are the POSIX side's")
        secret = os.path.join(self.root, "in", "secret.txt")
        self.tree({"in/secret.txt": "btn_ok"})
        os.chmod(secret, 0)
        for user in self.users():
            if os.geteuid() == 0 and user is None:
                continue  # root reads any file
            with self.subTest(user=user):
                _, search_err, _ = self.run_cli("search", "--content", "btn_ok", self.p("in"), code=1, user=user)
                _, refs_err, _ = self.run_cli("refs", self.p("ref"), self.p("in"), code=1, user=user)
                self.assertEqual(search_err, f"kestrin-cli: {secret}: permission denied\n")
                self.assertEqual(refs_err, search_err)

    def many_files(self, count, size):
        data = os.urandom(size)
        os.makedirs(os.path.join(self.root, "many"))
        for i in range(count):
            with open(os.path.join(self.root, "many", f"f_old_{i:04}.bin"), "wb") as f:
                f.write(data)

    def wait_for(self, proc, ready):
        deadline = time.time() + 60
        while not ready():
            self.assertIsNone(proc.poll(), "ended before it could be interrupted")
            self.assertLess(time.time(), deadline)
            time.sleep(0.001)

    def test_signal_stops_rename_and_copy_with_every_line_and_no_temporary_file(self):
        if ARGS.windows:
            self.skipTest("POSIX signals")
        # More lines than a pipe holds: the program cannot end before the test reads them.
        self.many_files(2000, 64 * 1024)
        many, out = os.path.join(self.root, "many"), os.path.join(self.root, "out")
        for sig in (signal.SIGINT, signal.SIGTERM):
            for command in ("copy", "rename"):
                with self.subTest(sig=sig, command=command):
                    shutil.rmtree(out, True)
                    if command == "copy":
                        proc = self.start("copy", "--output", out, "--prefix", many + "/", many)
                        self.wait_for(proc, lambda: os.path.isdir(out) and os.listdir(out))
                    else:
                        # Listed before the start: a rename may move files before the test looks.
                        before = set(os.listdir(many))
                        proc = self.start("rename", "--old", "_old" if sig == signal.SIGINT else "_new",
                                          "--new", "_new" if sig == signal.SIGINT else "_old", many)
                        self.wait_for(proc, lambda: set(os.listdir(many)) != before)
                    proc.send_signal(sig)
                    stdout, stderr = proc.communicate(timeout=60)
                    self.assertEqual((proc.returncode, stderr), (128 + sig, b""))
                    pairs = [line.split("\t") for line in stdout.decode().splitlines()]
                    self.assertLess(len(pairs), 2000)
                    if command == "copy":
                        written = sorted(os.listdir(out))
                        self.assertEqual(written, sorted(os.path.basename(t) for _, t in pairs))
                        for source, target in pairs:
                            with open(source, "rb") as a, open(target, "rb") as b:
                                self.assertEqual(a.read(), b.read())
                    else:
                        moved = [name for name in os.listdir(many) if name not in before]
                        self.assertEqual(sorted(moved), sorted(os.path.basename(t) for _, t in pairs))
                        self.assertFalse(any(os.path.exists(s) for s, _ in pairs))
                    # Finish the batch, so that the next round starts from one tree.
                    if command == "rename" and sig == signal.SIGINT:
                        self.run_cli("rename", "--old", "_old", "--new", "_new", many, code=0)

    def test_signal_stops_search_and_refs(self):
        if ARGS.windows:
            self.skipTest("POSIX signals")
        with open(os.path.join(self.root, "in", "huge.bin"), "wb") as f:
            f.truncate(64 << 30)  # sparse: read at memory speed, seconds all the same
        cases = [
            (["search", "--content", "QuartzFalcon", self.p("in")], signal.SIGINT),
            (["search", "--content", "QuartzFalcon", self.p("in")], signal.SIGHUP),
            (["refs", self.p("ref"), self.p("in")], signal.SIGTERM),
            (["refs", "--unused", self.p("ref"), self.p("in")], signal.SIGINT),
        ]
        for args, sig in cases:
            with self.subTest(args=args, sig=sig):
                proc = self.start(*args)
                time.sleep(0.3)
                self.assertIsNone(proc.poll())
                started = time.time()
                proc.send_signal(sig)
                stdout, stderr = proc.communicate(timeout=60)
                self.assertEqual((proc.returncode, stdout, stderr), (128 + sig, b"", b""))
                self.assertLess(time.time() - started, 5)

    def test_a_signal_started_ignored_stays_ignored(self):
        if ARGS.windows:
            self.skipTest("POSIX signals")
        self.many_files(2000, 1)
        many = os.path.join(self.root, "many")
        proc = self.start("rename", "--old", "_old", "--new", "_new", many, ignoring=signal.SIGHUP)
        self.wait_for(proc, lambda: any("_new" in name for name in os.listdir(many)))
        proc.send_signal(signal.SIGHUP)
        stdout, stderr = proc.communicate(timeout=60)
        self.assertEqual((proc.returncode, stderr, len(stdout.splitlines())), (0, b"", 2000))

    def test_closed_output_stops_quietly(self):
        self.many_files(3000, 1)
        many = self.p("many")
        # A rename stopped half-way says so (141); a search whose reader has seen what it wanted is a
        # success, as it was when it printed something.
        for args, code in ((["rename", "--old", "_old", "--new", "_new", many], 141),
                           (["search", "--name", "f_", many], 0)):
            with self.subTest(args=args):
                proc = self.start(*args)
                first = proc.stdout.readline()
                proc.stdout.close()
                proc.wait(timeout=300)
                err = [line for line in proc.stderr.read().decode(self.enc, "replace").splitlines()
                       if not line.startswith("wine: ") and ":fixme:" not in line]
                self.assertEqual((proc.returncode, err), (code, []))
                self.assertTrue(first.startswith(many.encode(self.enc)))
        renamed = [name for name in os.listdir(os.path.join(self.root, "many")) if "_new" in name]
        self.assertTrue(0 < len(renamed) < 3000, len(renamed))

    def random_tree(self, rng, top):
        """A tree where a rename of _old to _new, or a copy into top/out, meets what a batch can meet:
        names taken, by files, folders and dangling links; read-only and unreadable files; folders the
        user may not change. Returns the chmods to apply once the tree is built (and its owner set)."""
        modes = []
        folders = ["in", "in/a", "in/a/c", "in/b", "out", "out/a"]
        for folder in folders:
            os.makedirs(os.path.join(top, folder), exist_ok=True)
        for i in range(rng.randint(4, 14)):
            folder = rng.choice(folders[:4])
            stem = rng.choice(["k", "m", "q", "k_old", "x"]) + str(rng.randint(0, 2))
            ext = rng.choice([".txt", ".lua", "_old.txt", "_OLD.lua", "_new.txt"])
            name = stem + ext
            path = os.path.join(top, folder, name)
            if os.path.lexists(path):
                continue
            kind = rng.choice(["file"] * 6 + ["dangling", "folder", "readonly", "unreadable"])
            if kind == "dangling":
                os.symlink(os.path.join(top, "nowhere", name), path)
            elif kind == "folder":
                os.mkdir(path)
            else:
                with open(path, "w") as f:
                    f.write(f"{folder}/{name} {rng.randint(0, 3)}")
                if kind != "file":
                    modes.append((path, 0o444 if kind == "readonly" else 0))
        # Some targets of the copy there already, in every way a target can be.
        names = sorted(os.listdir(os.path.join(top, "in")))
        for folder in ("out", "out/a"):
            for name in rng.sample(names, k=min(2, len(names))):
                path = os.path.join(top, folder, name)
                if os.path.lexists(path):
                    continue
                kind = rng.choice(["file", "readonly", "folder", "dangling"])
                if kind == "folder":
                    os.mkdir(path)
                elif kind == "dangling":
                    os.symlink(os.path.join(top, "nowhere"), path)
                else:
                    with open(path, "w") as f:
                        f.write("old copy")
                    if kind == "readonly":
                        modes.append((path, 0o444))
        for folder in rng.sample(folders, k=rng.randint(0, 2)):
            modes.append((os.path.join(top, folder), 0o555))
        return modes

    def tree_state(self, top):
        state = {}
        for folder, dirs, files in os.walk(top):
            for name in dirs + files:
                full = os.path.join(folder, name)
                st = os.lstat(full)
                content = None
                if os.path.islink(full):
                    content = os.readlink(full)
                elif os.path.isfile(full):
                    with open(full, "rb") as f:
                        content = f.read()
                state[os.path.relpath(full, top)] = (st.st_mode, content)
        return state

    def test_dry_run_says_what_the_real_run_does_on_random_trees(self):
        if ARGS.windows:
            self.skipTest("links and permissions of the POSIX side")
        self.maxDiff = None
        for user in self.users():
            for seed in range(40):
                rng = random.Random(seed)
                top = os.path.join(self.root, f"t{user}-{seed}")
                modes = self.random_tree(rng, top)
                if user is not None:
                    for folder, dirs, files in os.walk(top):
                        for name in [folder] + [os.path.join(folder, n) for n in dirs + files]:
                            os.chown(name, user, user, follow_symlinks=False)
                for path, mode in modes:
                    os.chmod(path, mode)
                self.addCleanup(subprocess.run, ["chmod", "-R", "u+rwx", top])
                if seed % 2 == 0:
                    args = ["rename", "--old", "_old", "--new", "_new"]
                    args += rng.sample(["--force", "--hidden"], k=rng.randint(0, 2))
                else:
                    args = ["copy", "--output", os.path.join(top, "out", rng.choice(["", "a", "new"])),
                            "--prefix", os.path.join(top, "in") + "/"] + rng.choice([[], ["--ext", "txt"]])
                args.append(os.path.join(top, "in"))
                with self.subTest(user=user, seed=seed, args=args):
                    before = self.tree_state(top)
                    dry = self.run_cli(args[0], "--dry-run", *args[1:], user=user)
                    self.assertEqual(self.tree_state(top), before)
                    real = self.run_cli(*args, user=user)
                    self.assertEqual(dry, real)

    def full_state(self, top, skip=()):
        """Every entry below top but those in skip: its mode, and for a file its size, time and content."""
        state = {}
        for folder, dirs, files in os.walk(top):
            dirs[:] = [d for d in dirs if os.path.relpath(os.path.join(folder, d), top) not in skip]
            for name in dirs + files:
                full = os.path.join(folder, name)
                st = os.lstat(full)
                entry = (st.st_mode,)
                if os.path.islink(full):
                    entry += (os.readlink(full),)
                elif os.path.isfile(full):
                    with open(full, "rb") as f:
                        entry += (st.st_size, st.st_mtime_ns, f.read())
                state[os.path.relpath(full, top)] = entry
        return state

    def test_undo_takes_back_a_rename_and_a_copy_newest_first(self):
        if ARGS.windows:
            self.skipTest("the POSIX trash and modes")
        for user in self.users():
            with self.subTest(user=user):
                top = os.path.join(self.root, f"u{user}")
                self.tree({f"u{user}/{rel}": text for rel, text in {
                    "in/x_old.txt": "x", "in/y_old.txt": "y", "in/y_new.txt": "replaced y",
                    "in/sub/z_old.txt": "z", "in/sub/w.txt": "w", "out/in/x_new.txt": "older copy"}.items()})
                os.chmod(os.path.join(top, "in/x_old.txt"), 0o444)
                os.utime(os.path.join(top, "out/in/x_new.txt"), ns=(1, 1600000000123456789))
                env = dict(os.environ, XDG_STATE_HOME=os.path.join(top, ".state"),
                           XDG_DATA_HOME=os.path.join(top, ".data"))
                if user is not None:
                    for folder, dirs, files in os.walk(top):
                        for name in [folder] + [os.path.join(folder, n) for n in dirs + files]:
                            os.chown(name, user, user)
                skip = (".state", ".data")
                before = self.full_state(top, skip)
                out, _, _ = self.run_cli("undo", user=user, env=env, code=1)
                self.assertEqual(out, "")
                self.run_cli("rename", "--old", "_old", "--new", "_new", "--force", self.p(f"u{user}/in"),
                             user=user, env=env, code=0)
                copied, _, _ = self.run_cli("copy", "--output", self.p(f"u{user}/out"), "--prefix",
                                            self.p(f"u{user}") + "/", "--ext", "txt", self.p(f"u{user}/in"),
                                            user=user, env=env, code=0)
                self.assertEqual(len(copied.splitlines()), 4)
                listed, _, _ = self.run_cli("undo", "--list", user=user, env=env, code=0)
                self.assertRegex(listed, r"^copy\t4\t\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\tcan undo\n"
                                         r"rename\t3\t[-0-9: ]+\tcan undo\n$")
                after_batches = self.full_state(top, skip)
                # The copy first: each copy deleted, the older copy it replaced back from the trash.
                dry, _, _ = self.run_cli("undo", "--dry-run", user=user, env=env, code=0)
                self.assertEqual(self.full_state(top, skip), after_batches)
                out, err, _ = self.run_cli("undo", user=user, env=env, code=0)
                self.assertEqual((out, err), (dry, ""))
                lines = out.splitlines()
                self.assertEqual(len(lines), 5)
                self.assertIn(self.p(f"u{user}/out/in/y_new.txt") + "\t" + self.p(f"u{user}/in/y_new.txt"), lines)
                self.assertIn(os.path.join(top, ".data/Trash/files/x_new.txt") + "\t"
                              + self.p(f"u{user}/out/in/x_new.txt"), lines)
                # Then the rename, with the file it replaced back from the trash.
                out, _, _ = self.run_cli("undo", "-0", user=user, env=env, code=0)
                self.assertEqual(out.count("\0"), 8)
                self.assertIn(self.p(f"u{user}/in/sub/z_new.txt") + "\0" + self.p(f"u{user}/in/sub/z_old.txt") + "\0", out)
                self.assertEqual(self.full_state(top, skip), before)
                listed, _, _ = self.run_cli("undo", "--list", user=user, env=env, code=0)
                self.assertEqual([line.split("\t")[3] for line in listed.splitlines()], ["undone", "undone"])
                _, err, _ = self.run_cli("undo", user=user, env=env, code=1)
                self.assertEqual(err, "kestrin-cli: nothing to undo\n")
                _, err, _ = self.run_cli("undo", "extra", user=user, env=env, code=2)
                self.assertIn("unexpected operand extra", err)

    def run_raw(self, *args, code=None):
        """The program's standard output as bytes, a newline as the program ends its lines (Windows' CR
        LF taken back to LF), and its exit status."""
        run = subprocess.run(ARGS.emulator + [ARGS.cli] + list(args), capture_output=True, timeout=300)
        out = run.stdout.replace(b"\r\n", b"\n") if ARGS.windows else run.stdout
        err = [line for line in run.stderr.decode(self.enc, "replace").splitlines()
               if not line.startswith("wine: ") and ":fixme:" not in line]
        if code is not None:
            self.assertEqual(run.returncode, code, f"{args}: stdout {out[:300]!r} stderr {err!r}")
        return out, err

    def host(self, program_path):
        """The host path of a path the program printed (bytes)."""
        if not ARGS.windows:
            return program_path
        return program_path[2:].replace(b"\\", b"/").decode(self.enc).encode("utf-8")

    def grep_tree(self, top, rng):
        """Random files whose lines hold the pattern or not, in either case, with CR, NUL, lines across
        the program's read chunks and last lines without a newline."""
        names = ["a", "b", "资源", "c d"]
        for i in range(rng.randint(8, 20)):
            folder = os.path.join(top, *rng.sample(names, k=rng.randint(0, 2)))
            os.makedirs(folder, exist_ok=True)
            lines = []
            for _ in range(rng.choice([0, 1, 5, 40, 20000])):
                line = bytes(rng.choice(b"xyz \t") for _ in range(rng.randint(0, 30)))
                piece = rng.choice([b"", b"", b"needle", b"NeEdLe", b"\r", b"\0", b"need"])
                at = rng.randint(0, len(line))
                lines.append(line[:at] + piece + line[at:])
            if rng.random() < 0.1:
                lines.append(b"x" * (300 << 10) + b"needle")  # one line across read chunks
            data = b"\n".join(lines) + (b"\n" if lines and rng.random() < 0.5 else b"")
            with open(os.path.join(folder, f"f{i}.txt"), "wb") as f:
                f.write(data)

    def test_lines_and_counts_are_greps(self):
        env = dict(os.environ, LC_ALL="C")
        rng = random.Random(25)
        for round in range(3):
            top = os.path.join(self.root, f"g{round}")
            self.grep_tree(top, rng)
            for case in ([], ["-i"]):
                with self.subTest(round=round, case=case):
                    paths, _ = self.run_raw("search", *case, "--content", "needle", self.p(f"g{round}"))
                    order = [self.host(p) for p in paths.splitlines()]
                    listed = subprocess.run(["grep", "-r", "-l", "-a", "-F", *case, "needle", top], env=env,
                                            capture_output=True).stdout.splitlines()
                    self.assertEqual(sorted(order), sorted(listed))
                    lines, err = self.run_raw("search", *case, "-n", "--content", "needle", self.p(f"g{round}"),
                                              code=0 if order else 1)
                    counts, _ = self.run_raw("search", *case, "--count", "--content", "needle",
                                             self.p(f"g{round}"))
                    self.assertEqual(err, [])
                    want_lines = b""
                    want_counts = b""
                    for path in order:
                        want_lines += subprocess.run(["grep", "-a", "-n", "-H", "-F", *case, "needle", path], env=env,
                                                     capture_output=True).stdout
                        want_counts += subprocess.run(["grep", "-a", "-c", "-H", "-F", *case, "needle", path],
                                                      env=env, capture_output=True).stdout
                    self.assertEqual(self.host_lines(lines), want_lines)
                    self.assertEqual(self.host_lines(counts), want_counts)

    def host_lines(self, out):
        """PATH:... lines with the program's paths made host paths."""
        if not ARGS.windows:
            return out
        lines = []
        for line in out.split(b"\n")[:-1]:
            path, colon, rest = line.partition(b":")
            rest_path, colon, rest = rest.partition(b":")  # the drive's colon first
            lines.append(self.host(path + b":" + rest_path) + colon + rest + b"\n")
        return b"".join(lines)

    def test_options_people_type(self):
        self.tree({"in/x.LUA": "btn_ok", "in/deep/er/y.lua": "Btn_OK", "in/.h/z.lua": "btn_ok"})
        hidden = []  # a leading dot hides a name on POSIX, and under Wine as well
        cases = [  # arguments, expected paths (relative, in list order)
            (["-i", "--content", "btn_ok"], ["in/a.lua", "in/PublicRes/ui/c.txt", "in/x.LUA", "in/deep/er/y.lua"] + hidden),
            (["-iH", "--content", "btn_ok", "-e", "lua"], ["in/a.lua", "in/deep/er/y.lua", "in/.h/z.lua"]),
            (["-e", "lua", "-e", ".LUA"], ["in/a.lua", "in/b.lua", "in/x.LUA", "in/deep/er/y.lua"] + hidden),
            (["--name", "资源", "--name", "b."], ["in/b.lua", "in/资源/d.txt"]),
            (["-g", "*.txt", "-g", "!PublicRes/"], ["in/资源/d.txt", "in/empty.txt"]),
            (["--glob=deep/**"], ["in/deep/er/y.lua"]),
            (["-d", "1", "-e", "lua"], ["in/a.lua", "in/b.lua"]),
            (["-d2", "-i", "--content", "BTN_ok"], ["in/a.lua", "in/x.LUA"]),
            (["-d", "0"], []),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                out, err, code = self.run_cli("search", *args, self.p("in"))
                self.assertEqual(sorted(out.splitlines()), sorted(self.p(e) for e in expected))
                self.assertEqual((err, code), ("", 0 if expected else 1))
        for args in (["-x"], ["-d", "two"], ["--color", "green"], ["-n"], ["--json", "-0"], ["-e"]):
            with self.subTest(args=args):
                _, err, _ = self.run_cli("search", *args, self.p("in"), code=2)
                self.assertEqual(len(err.splitlines()), 1, err)
        # Colour only when asked for, output being a pipe here.
        out, _, _ = self.run_cli("search", "-n", "--content", "btn_ok", self.p("in"), code=0)
        self.assertNotIn("\x1b", out)
        out, _, _ = self.run_cli("search", "-n", "--color", "always", "--content", "btn_", self.p("in"), code=0)
        self.assertIn("\x1b[35m" + self.p("in/a.lua") + "\x1b[0m:\x1b[32m1\x1b[0m:local t = 'ui/\x1b[1m\x1b[31mbtn_\x1b[0mok'",
                      out)

    def test_help_lists_every_option(self):
        out, _, _ = self.run_cli("--help", code=0)
        for option in ("--name", "-e, --ext", "-g, --glob", "--content", "-i, --ignore-case", "-H, --hidden",
                       "--no-recursive", "-d, --max-depth", "--no-follow", "-c|--count", "-n|--lines", "--color",
                       "--json", "--verbose", "-0", "--with-dir", "--with-ext", "--unused", "--old", "--new",
                       "--force", "--dry-run", "--output", "--prefix", "--version"):
            self.assertIn(option, out)

    def test_json_objects(self):
        name = "资源"
        with open(os.path.join(self.root, "in", name, "e.txt"), "wb") as f:
            f.write(b"x\nbtn_ok \xff\n")
        out, _ = self.run_raw("search", "--json", "-n", "--content", "btn_ok", self.p("in"), code=0)
        objects = [__import__("json").loads(line) for line in out.splitlines()]
        import base64

        def value(form):
            return form["text"].encode(self.enc) if "text" in form else base64.b64decode(form["bytes"])
        matches = [(value(o["path"]), o["line"], value(o["text"])) for o in objects if o["type"] == "match"]
        self.assertEqual(sorted(matches), sorted([
            (self.p("in/a.lua").encode(self.enc), 1, "local t = 'ui/btn_ok' .. Bg_main".encode(self.enc)),
            (self.p(f"in/{name}/e.txt").encode(self.enc), 2, b"btn_ok \xff")]))
        self.assertIn("bytes", [o for o in objects if o["type"] == "match" and o["line"] == 2][0]["text"])
        self.assertEqual(objects[-1], {"type": "summary", "searched": 6, "matched": 2, "failed": 0, "stopped": False})
        out, _ = self.run_raw("search", "--json", "--count", "--content", "btn_ok", self.p("in"), code=0)
        self.assertEqual(sorted((value(o["path"]), o["count"]) for o in map(__import__("json").loads, out.splitlines())
                                if o["type"] == "match"),
                         sorted([(self.p("in/a.lua").encode(self.enc), 1), (self.p(f"in/{name}/e.txt").encode(self.enc), 1)]))

    def test_links_are_notices(self):
        """Folder links side by side and back up the tree, dangling links, links to a device: results,
        status 0 and nothing on standard error; --verbose names what was passed over."""
        if ARGS.windows:
            self.skipTest("symbolic links and FIFOs as POSIX has them")
        self.tree({"t/real/r.txt": "btn_ok", "t/z/f.txt": "btn_ok"})
        t = os.path.join(self.root, "t")
        os.symlink("real", os.path.join(t, "a_link"))  # walked first: the files are listed under it
        os.symlink("real", os.path.join(t, "b_link"))
        os.symlink("..", os.path.join(t, "z", "up"))
        os.symlink(os.path.join(t, "nowhere"), os.path.join(t, "dangling.txt"))
        os.symlink("/dev/null", os.path.join(t, "null.txt"))
        listed = [e for e in os.listdir(t)]
        for args in ([], ["--content", "btn_ok"], ["-e", "txt"]):
            with self.subTest(args=args):
                out, err, _ = self.run_cli("search", *args, t, code=0)
                self.assertEqual(err, "")
                found = out.splitlines()
                self.assertEqual(len(found), 2, found)  # the real file once, under one path
                self.assertIn(os.path.join(t, "z", "f.txt"), found)
                via = [p for p in found if p.endswith("r.txt")]
                self.assertEqual(len(via), 1)
                # Under the path the walk reached it by: the first of real, a_link, b_link listed.
                first = next(e for e in listed if e in ("real", "a_link", "b_link"))
                self.assertEqual(via[0], os.path.join(t, first, "r.txt"))
                out, err, _ = self.run_cli("search", "--verbose", *args, t, code=0)
                self.assertEqual(len(out.splitlines()), 2)
                notices = sorted(line.rsplit(": ", 1)[1] for line in err.splitlines())
                self.assertEqual(notices, sorted(["folder already walked through another link"] * 3 +
                                                 ["vanished", "not a regular file"]), err)
        out, err, _ = self.run_cli("search", "--no-follow", "--verbose", t, code=0)
        self.assertEqual(sorted(out.splitlines()), sorted([os.path.join(t, "real", "r.txt"), os.path.join(t, "z", "f.txt")]))
        self.assertEqual(sorted(line.rsplit(": ", 1)[1] for line in err.splitlines()), ["not a regular file", "vanished"])
        # A real failure still is one: a FIFO where a file is searched.
        os.mkfifo(os.path.join(t, "fifo.txt"))
        _, err, _ = self.run_cli("search", "--content", "btn_ok", t, code=1)
        self.assertEqual(err, f"kestrin-cli: {os.path.join(t, 'fifo.txt')}: not a regular file\n")

    def test_a_closed_pipe_ends_the_search_at_once(self):
        """One early match in a tree of many files: the search ends as soon as its reader has gone, long
        before it would have read the tree."""
        if ARGS.windows:
            self.skipTest("the emulator's start-up outweighs the search, and Windows tells of a closed pipe on a write only")
        top = os.path.join(self.root, "wide")
        for d in range(100):
            os.makedirs(os.path.join(top, f"d{d}"))
            for f in range(300):
                with open(os.path.join(top, f"d{d}", f"f{f}.txt"), "w") as fh:
                    fh.write("hay\n" * 50)
        first, _, _ = self.run_cli("search", top, code=0)
        with open(first.splitlines()[0], "a") as fh:
            fh.write("QuartzNeedle\n")
        started = time.monotonic()
        self.run_cli("search", "--content", "QuartzNeedle", top, code=0)
        full = time.monotonic() - started
        for _ in range(3):
            started = time.monotonic()
            proc = self.start("search", "--content", "QuartzNeedle", top)
            line = proc.stdout.readline()
            proc.stdout.close()
            proc.wait(timeout=60)
            ended = time.monotonic() - started
            self.assertEqual((line.decode().strip(), proc.returncode), (first.splitlines()[0], 0))
            if ended < full / 4:
                break
        self.assertLess(ended, full / 4, f"full run {full:.3f} s")

    def test_rename_takes_the_selection(self):
        self.tree({"in/x_old.lua": "btn_ok", "in/y_old.lua": "no", "in/z_old.txt": "btn_ok"})
        out, err, _ = self.run_cli("rename", "--old", "_old", "--new", "_new", "-e", "lua", "--content", "BTN_OK",
                                   "-i", self.p("in"), code=0)
        self.assertEqual(out, self.p("in/x_old.lua") + "\t" + self.p("in/x_new.lua") + "\n")
        self.assertEqual(sorted(os.listdir(os.path.join(self.root, "in"))),
                         sorted(["a.lua", "b.lua", "PublicRes", "资源", "empty.txt", "x_new.lua", "y_old.lua", "z_old.txt"]))

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
