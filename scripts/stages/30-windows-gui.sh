#!/usr/bin/env bash
# The Windows zip: Kestrin.exe (built and tested under Wine by the Windows stage) packed by cpack, and a
# check that the zip holds the program and that it is a GUI-subsystem executable.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build/windows"
cd "$build"
rm -f Kestrin-*-win64.zip
cpack -G ZIP >/dev/null
zip=$(ls Kestrin-*-win64.zip)
python3 - "$zip" <<'PY'
import struct, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    names = z.namelist()
    exe = [n for n in names if n.endswith("/Kestrin.exe")]
    if not exe:
        sys.exit("the zip holds no Kestrin.exe: %s" % names)
    data = z.read(exe[0])
pe = struct.unpack_from("<I", data, 0x3C)[0]
if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
    sys.exit("Kestrin.exe is not a Windows executable")
subsystem = struct.unpack_from("<H", data, pe + 24 + 68)[0]
if subsystem != 2:
    sys.exit("Kestrin.exe has subsystem %d, not the GUI subsystem (2)" % subsystem)
print("%s: %s (%d bytes, GUI subsystem)" % (sys.argv[1], ", ".join(names), len(data)))
PY
echo "Windows users unpack $build/$zip and start Kestrin.exe"
