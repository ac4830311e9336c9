#!/usr/bin/env bash
# package_check.sh BUILD_DIR WORK_DIR ICON_SIZE...
# Makes the Debian package from a configured build folder and checks that it installs the program and
# the command-line tool beside it, its desktop entry (naming the program and its icon) and the icon in every size the build renders, and
# depends on Qt.
set -euo pipefail
if [ $# -lt 3 ]; then
  echo "usage: package_check.sh BUILD_DIR WORK_DIR ICON_SIZE..." >&2
  exit 2
fi
build=$1
work=$2
shift 2
rm -rf "$work"
mkdir -p "$work"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/kestrin_*.deb)
contents=$(dpkg-deb -c "$deb")
fail=0
expect() {
  grep -q -- "$1" <<<"$contents" || { echo "package_check: $deb lacks $1"; fail=1; }
}
expect ' ./usr/bin/kestrin$'
expect ' ./usr/bin/kestrin-cli$'
expect ' ./usr/share/applications/kestrin.desktop$'
for size in "$@"; do expect " ./usr/share/icons/hicolor/${size}x${size}/apps/kestrin.png$"; done
depends=$(dpkg-deb -f "$deb" Depends)
grep -q libqt6widgets6 <<<"$depends" || { echo "package_check: no Qt in Depends: $depends"; fail=1; }
dpkg-deb -x "$deb" "$work/root"
desktop="$work/root/usr/share/applications/kestrin.desktop"
for line in 'Type=Application' 'Exec=kestrin %f' 'MimeType=inode/directory;' 'Icon=kestrin' 'Name=Kestrin'; do
  grep -qx "$line" "$desktop" || { echo "package_check: the desktop entry lacks $line"; fail=1; }
done
[ "$fail" -eq 0 ] && echo "package_check: $(basename "$deb") is complete"
exit "$fail"
