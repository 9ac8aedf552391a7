#!/usr/bin/env bash
# Installs the build into a temporary root, as the package does, and checks what the desktop
# looks for: the desktop entry under the application id, valid, starting the installed
# program with the files it is given, and the icon of that name in hicolor at every size.
#     install_tree_test.sh BUILD_DIR APPLICATION_ID
set -uo pipefail
build=$1 id=$2 root=$(mktemp -d) status=0
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*"; status=1; }
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$root/install.log" 2>&1 || { cat "$root/install.log"; exit 1; }
share="$root/usr/share" entry="$root/usr/share/applications/$id.desktop"
[[ $(ls "$share/applications") == "$id.desktop" ]] || fail "entries: $(ls "$share/applications")"
desktop-file-validate "$entry" || fail "desktop-file-validate"
for line in "Exec=skiff %F" "Icon=$id" "StartupWMClass=Skiff"; do grep -qx "$line" "$entry" || fail "no $line"; done
grep -q "<svg" "$share/icons/hicolor/scalable/apps/$id.svg" || fail "no scalable icon"
for size in 48 128; do
    png="$share/icons/hicolor/${size}x${size}/apps/$id.png"
    # The PNG header's own width and height, not the file name, say what was drawn.
    drawn=$(python3 -c 'import struct,sys
d=open(sys.argv[1],"rb").read(24)
print("%dx%d" % struct.unpack(">II", d[16:24]) if d[:8]==b"\x89PNG\r\n\x1a\n" else "none")' "$png" 2>/dev/null)
    [[ "$drawn" == "${size}x${size}" ]] || fail "$png is ${drawn:-missing}"
done
exit $status
