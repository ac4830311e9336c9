#!/usr/bin/env bash
# The Windows zip: Kestrin.exe and kestrin-cli.exe (built and tested under Wine by the Windows stage)
# packed by cpack, and a check that the zip holds both, the window a GUI-subsystem executable and the tool
# a console one.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build/windows"
cd "$build"
rm -f Kestrin-*-win64.zip
cpack -G ZIP >/dev/null
zip=$(ls Kestrin-*-win64.zip)
python3 - "$zip" <<'PY'
import struct, sys, zipfile
# Each program of the zip, and its subsystem: 2 the GUI, 3 the console.
expected = {"Kestrin.exe": 2, "kestrin-cli.exe": 3}
with zipfile.ZipFile(sys.argv[1]) as z:
    names = z.namelist()
    for program, wanted in expected.items():
        exe = [n for n in names if n.endswith("/" + program)]
        if not exe:
            sys.exit("the zip holds no %s: %s" % (program, names))
        data = z.read(exe[0])
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
            sys.exit("%s is not a Windows executable" % program)
        subsystem = struct.unpack_from("<H", data, pe + 24 + 68)[0]
        if subsystem != wanted:
            sys.exit("%s has subsystem %d, not %d" % (program, subsystem, wanted))
print("%s: %s" % (sys.argv[1], ", ".join(names)))
PY
echo "Windows users unpack $build/$zip and start Kestrin.exe"
