#!/usr/bin/env python3
"""Runs one scenario script through kestrin-drive on a fresh temporary folder and compares the transcript
with the expected one kept next to the script (NAME.txt -> NAME.expected).

Script lines that start with "#>" prepare the folder before the run (the driver skips them as comments):
    #> file REL CONTENT      a file with CONTENT (the rest of the line; \\xHH for any byte, \\n for LF)
    #> dir REL               an empty folder
    #> locale NAME           the driver runs with LC_ALL=NAME (default C.UTF-8: the texts as they are)
REL is relative to the temporary folder, written with '/'. In the script and in the expected transcript
@TMP@ stands for the temporary folder as the driver sees it, and @tmp@ for it in lower case (Windows folder
paths are lowered when normalised), and on Linux @TMPDIR@/ for the folder that holds it. On Linux the driver
runs with HOME set to @TMP@/home. The window's undo journals (and on Linux the trash) go to a folder of the
run's own, outside @TMP@ (KESTRIN_DRIVE_STATE, XDG_DATA_HOME), so no run sees another's batches; the time
the undo button's tooltip names is written @TIME@.

The transcript is the driver's standard output, then "--- stderr" and its error output when there is any,
"--- exit N" when the status is not 0, and "--- files" with every file of the folder afterwards as
"REL: CONTENT" (sorted, printed texts escaped as the driver escapes them) and every empty folder as "REL/".

The driver's language is pinned by the script, never taken from the machine running the tests: the other
locale variables are removed and LC_ALL set (under Wine the emulator sets the locale of code page 936).

The order in which a folder's entries come is the file system's own, so the lines of each list, and those of
a rename preview, printed by a dump are compared sorted by text (and numbered again from 0); a script picks a
line by its index only where the list's order is fixed (a list of one line, for instance).

With --windows the driver is a Windows executable run through --emulator (Wine): the folder is named by
its Z: drive path, and script and transcript are converted between UTF-8 (the files here) and GBK (the
driver's bytes).
"""
import argparse
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile


def escape(text: str) -> str:
    return "".join(f"\\x{ord(c):02X}" if ord(c) < 0x20 or ord(c) == 0x7F else c for c in text)


def unescape(text: str) -> bytes:
    out = bytearray()
    i = 0
    while i < len(text):
        if text.startswith("\\x", i) and re.fullmatch(r"[0-9A-Fa-f]{2}", text[i + 2:i + 4]):
            out.append(int(text[i + 2:i + 4], 16))
            i += 4
        elif text.startswith("\\n", i):
            out.append(0x0A)
            i += 2
        else:
            out += text[i].encode("utf-8")
            i += 1
    return bytes(out)


LIST_LINE = re.compile(r"^(list IDC_\w+|preview|preview kept)\[(\d+)\]: (.*)$")


BATCH_TIME = re.compile(r"^(tooltip IDC_UNDO: .*, )(?:\d{4}-\d\d-\d\d )?\d\d:\d\d$", re.MULTILINE)


def sort_lists(transcript: str) -> str:
    """Each run of list lines of one control, and of the lines of a rename preview, sorted by text and
    numbered again."""
    out, run, control = [], [], None

    def flush():
        for i, text in enumerate(sorted(run)):
            out.append(f"{control}[{i}]: {text}")
        run.clear()

    for line in transcript.split("\n"):
        match = LIST_LINE.match(line)
        if match and match.group(1) == control:
            run.append(match.group(3))
            continue
        flush()
        if match:
            control = match.group(1)
            run.append(match.group(3))
        else:
            control = None
            out.append(line)
    flush()
    return "\n".join(out)


def prepare(script: str, root: str) -> None:
    for line in script.splitlines():
        if not line.startswith("#> "):
            continue
        words = line[3:].split(" ", 2)
        kind, rel = words[0], words[1]
        path = os.path.join(root, *rel.split("/"))
        if kind == "locale":
            continue
        if kind == "dir":
            os.makedirs(path, exist_ok=True)
        elif kind == "file":
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(unescape(words[2] if len(words) > 2 else ""))
        else:
            raise SystemExit(f"unknown preparation: {line}")


def listing(root: str) -> list:
    lines = []
    for folder, dirs, files in os.walk(root):
        rel_folder = os.path.relpath(folder, root).replace(os.sep, "/")
        prefix = "" if rel_folder == "." else rel_folder + "/"
        if not dirs and not files and prefix:
            lines.append(prefix)
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                content = f.read().decode("utf-8", errors="backslashreplace")
            lines.append(f"{prefix}{name}: {escape(content)}")
    return sorted(lines)


def script_locale(script: str) -> str:
    for line in script.splitlines():
        if line.startswith("#> locale "):
            return line[len("#> locale "):].strip()
    return "C.UTF-8"


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--driver", required=True)
    parser.add_argument("--emulator", action="append", default=[])
    parser.add_argument("--windows", action="store_true")
    parser.add_argument("--update", action="store_true", help="write the transcript as the expectation")
    parser.add_argument("script")
    args = parser.parse_args()

    expected_path = os.path.splitext(args.script)[0] + ".expected"
    with open(args.script, encoding="utf-8", newline="") as f:  # line ends reach the driver as written
        script = f.read()

    root = tempfile.mkdtemp(prefix="kestrin-scenario-")
    # The window's undo journals, and on Linux the trash, in a folder of the run's own, outside the tree.
    state = tempfile.mkdtemp(prefix="kestrin-scenario-state-")
    try:
        prepare(script, root)
        seen = ("Z:" + root.replace("/", "\\")) if args.windows else root
        places = {"@TMP@": seen, "@tmp@": seen.lower()}
        if not args.windows:  # the folder that holds it, which the copy defaults of @TMP@ name
            places["@TMPDIR@/"] = os.path.dirname(seen) + "/"

        def place(text: str) -> str:
            for key, value in places.items():
                text = text.replace(key, value)
            return text

        encoding = "gbk" if args.windows else "utf-8"
        env = {k: v for k, v in os.environ.items() if k not in ("LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG")}
        env.update(WINEDEBUG="-all", LC_ALL=script_locale(script))
        if not args.windows:  # the user's home, which the copy defaults look at, is @TMP@/home
            env["HOME"] = os.path.join(root, "home")
            env["XDG_DATA_HOME"] = os.path.join(state, "data")
        env["KESTRIN_DRIVE_STATE"] = ("Z:" + state.replace("/", "\\")) if args.windows else state
        run = subprocess.run(args.emulator + [args.driver], input=place(script).encode(encoding),
                             capture_output=True, timeout=600, env=env)
        transcript = run.stdout.decode(encoding, errors="backslashreplace")
        errors = run.stderr.decode(encoding, errors="backslashreplace")
        if args.windows:  # what Wine itself says about its prefix is no part of the program's output
            errors = "".join(line for line in errors.splitlines(True)
                             if not line.startswith("wine: ") and ":fixme:" not in line)
        if errors:
            transcript += "--- stderr\n" + errors
        if run.returncode != 0:
            transcript += f"--- exit {run.returncode}\n"
        transcript += "--- files\n" + "".join(line + "\n" for line in listing(root))
        transcript = sort_lists(transcript)
        # The undo button names its batch with the time it ran.
        transcript = BATCH_TIME.sub(r"\1@TIME@", transcript)

        if args.update:
            with open(expected_path, "w", encoding="utf-8", newline="\n") as f:
                written = transcript.replace(places["@TMP@"], "@TMP@").replace(places["@tmp@"], "@tmp@")
                if "@TMPDIR@/" in places:
                    written = written.replace(places["@TMPDIR@/"], "@TMPDIR@/")
                f.write(written)
            return 0
        with open(expected_path, encoding="utf-8") as f:
            expected = place(f.read())
        if transcript == expected:
            return 0
        sys.stdout.writelines(difflib.unified_diff(expected.splitlines(True), transcript.splitlines(True),
                                                   "expected", "actual"))
        return 1
    finally:
        shutil.rmtree(root, ignore_errors=True)
        shutil.rmtree(state, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
