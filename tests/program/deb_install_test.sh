#!/usr/bin/env bash
# Builds the .deb, installs it with apt on a fresh, minimal Debian 12 root and runs it there:
# every QML module the window reaches is present (IMPORT_CHECK, the command line of
# tests/ui/qml_imports_test.py, lists their qmldir files), the window starts without a QML
# error, the terminal front end serves the page, and the desktop finds the program: its entry
# under the application id, valid, starting it with the files it is given, and the icon of that
# name in hicolor at every size.
#     deb_install_test.sh BUILD_DIR APPLICATION_ID IMPORT_CHECK...
set -uo pipefail
build=$1 id=$2 && shift 2
command -v mmdebstrap >/dev/null && command -v cpack >/dev/null || { echo "no mmdebstrap or cpack"; exit 1; }
[[ $(id -u) -eq 0 ]] || { echo "needs root to build the root"; exit 77; }
# The throwaway root lives in memory when there is room: unpacking its packages is the slow part.
[[ $(df --output=avail -k /dev/shm 2>/dev/null | tail -1) -gt 4194304 ]] 2>/dev/null && export TMPDIR=/dev/shm
work=$(mktemp -d) cache=$build/deb-install-cache && mkdir -p "$cache"
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/deb") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/deb/skiff_*.deb) || exit 1
"$@" "$work/qml-modules.txt" >/dev/null || { echo "the import check failed: run Ui.QmlImports"; exit 1; }

# Runs inside the new root after the install: prints FAIL lines and exits 1 on any fault.
cat >"$work/check.sh" <<'CHECK'
status=0
fail() { echo "FAIL: $*"; status=1; }
export HOME=/tmp/home XDG_RUNTIME_DIR=/tmp/home LANG=C.UTF-8 DISPLAY=:0 ASAN_OPTIONS=detect_leaks=0
mkdir -p -m 700 "$HOME"
[ -x /usr/bin/skiff ] && [ -x /usr/libexec/skiff/skiff-decode ] || fail "no skiff or no decoder"
while read -r qmldir; do [ -f "$qmldir" ] || fail "QML module missing: $qmldir"; done </tmp/qml-modules.txt
# The window, drawn off screen (the root has no display server), for a few seconds.
QT_QPA_PLATFORM=offscreen timeout --preserve-status -s INT 8 skiff >/tmp/window.log 2>&1 || fail "window exit $?"
grep -E "is not installed|module .* not found|ReferenceError|TypeError|Cannot assign|Error|Segmentation" \
    /tmp/window.log && fail "the window's log shows errors"
skiff --terminal >/tmp/terminal.log 2>&1 &
pid=$!
for _ in $(seq 50); do grep -q "?t=" /tmp/terminal.log && break; sleep 0.2; done
read -r port code < <(sed -n 's|.*http://[^:]*:\([0-9]*\)/?t=\([0-9]*\).*|\1 \2|p' /tmp/terminal.log)
exec 3<>"/dev/tcp/127.0.0.1/${port:-1}" && printf 'GET /?t=%s HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n' "$code" >&3
timeout 5 cat <&3 >/tmp/page.txt
grep -q "^HTTP/1.1 200" /tmp/page.txt && grep -qi "<html" /tmp/page.txt || { fail "no page"; cat /tmp/terminal.log; }
kill -INT $pid && wait $pid || fail "the terminal front end did not stop on Ctrl-C"
exit $status
CHECK

# Run from outside on the finished root (ROOT ID), with the host's tools: the desktop's view of it.
cat >"$work/desktop.sh" <<'DESKTOP'
share=$1/usr/share id=$2 status=0
fail() { echo "FAIL: $*"; status=1; }
entry=$share/applications/$id.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate"
for line in "Exec=skiff %F" "Icon=$id" "StartupWMClass=Skiff"; do grep -qx "$line" "$entry" || fail "no $line"; done
grep -q "<svg" "$share/icons/hicolor/scalable/apps/$id.svg" || fail "no scalable icon"
for size in 48 128; do  # the PNG header's own width and height, not the file name
    png=$share/icons/hicolor/${size}x${size}/apps/$id.png
    [[ $(python3 -c 'import struct,sys; print("%dx%d" % struct.unpack(">II", open(sys.argv[1],"rb").read(24)[16:24]))' "$png") == "${size}x${size}" ]] || fail "$png"
done
exit $status
DESKTOP

# Nothing but the .deb and what its Depends bring is installed on the minimal root. The
# packages apt downloads are kept in the build folder; apt checks them against the index. dpkg
# skips its syncs: the root is thrown away after the run.
mmdebstrap --variant=apt --mode=root --skip=essential/unlink --dpkgopt=force-unsafe-io \
    --setup-hook='mkdir -p "$1"/var/cache/apt/archives/' --setup-hook="sync-in $cache /var/cache/apt/archives/" \
    --customize-hook="copy-in $deb $work/check.sh $work/qml-modules.txt /tmp" \
    --customize-hook='chroot "$1" apt-get install -y --no-install-recommends /tmp/'"$(basename "$deb")" \
    --customize-hook="sync-out /var/cache/apt/archives $cache" \
    --customize-hook='chroot "$1" bash /tmp/check.sh' --customize-hook="bash $work/desktop.sh \"\$1\" $id" \
    bookworm "$work/root" >"$work/root.log" 2>&1 && exit 0
grep -E "^FAIL|^E:" "$work/root.log"; tail -40 "$work/root.log"; exit 1
