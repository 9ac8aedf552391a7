#!/usr/bin/env bash
# Installs the build into a temporary root, as the package does, and checks what the desktop
# looks for: the desktop entry under the application id, valid, starting the installed
# program with the files it is given, and the icon of that name in hicolor at every size.
#     install_tree_test.sh BUILD_DIR APPLICATION_ID
set -uo pipefail
build=$1 id=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*"; status=1; }
status=0

DESTDIR="$root" cmake --install "$build" --prefix /usr >"$root/install.log" 2>&1 ||
    { cat "$root/install.log"; exit 1; }
share="$root/usr/share"
entry="$share/applications/$id.desktop"
[[ -f "$entry" ]] || { fail "no $entry"; ls -R "$share"; exit 1; }
[[ $(ls "$share/applications") == "$id.desktop" ]] || fail "other entries: $(ls "$share/applications")"
desktop-file-validate "$entry" || fail "desktop-file-validate"
grep -qx "Exec=skiff %F" "$entry" || fail "Exec is not 'skiff %F'"
grep -qx "Icon=$id" "$entry" || fail "Icon is not $id"
grep -qx "StartupWMClass=Skiff" "$entry" || fail "StartupWMClass is not Skiff"
[[ -x "$root/usr/bin/skiff" ]] || fail "no /usr/bin/skiff"

icons="$share/icons/hicolor"
grep -q "<svg" "$icons/scalable/apps/$id.svg" || fail "no scalable icon"
for size in 48 128; do
    png="$icons/${size}x${size}/apps/$id.png"
    # The PNG header's own width and height, not the file name, say what was drawn.
    drawn=$(python3 -c 'import struct,sys
d=open(sys.argv[1],"rb").read(24)
print("%dx%d" % struct.unpack(">II", d[16:24]) if d[:8]==b"\x89PNG\r\n\x1a\n" else "none")' "$png" 2>/dev/null)
    [[ "$drawn" == "${size}x${size}" ]] || fail "$png is ${drawn:-missing}"
done
[[ $status -eq 0 ]] && echo "installed tree ok"
exit $status
