#!/usr/bin/env bash
# Builds the .deb, installs it with apt into a fresh, minimal Debian 12 root, and runs it there:
# every QML module the window reaches is present, the window starts without a QML error, and the
# terminal front end serves the page. This is what a user gets from `apt-get install ./skiff.deb`.
#     deb_install_test.sh BUILD_DIR IMPORT_CHECK...
# IMPORT_CHECK: the command line of tests/ui/qml_imports_test.py, which lists the qmldir files
# the window reaches.
set -uo pipefail
build=$1
shift
for tool in mmdebstrap cpack; do
    command -v $tool >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)"; exit 1; }
done
[[ $(id -u) -eq 0 ]] || { echo "needs root to build the root"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/deb") >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/deb/skiff_*.deb) || exit 1
modules=$work/qml-modules.txt
"$@" "$modules" >/dev/null || { echo "the import check failed: run Ui.QmlImports"; exit 1; }

# Runs inside the new root after the install: prints FAIL lines and exits 1 on any fault.
cat >"$work/check.sh" <<'EOF'
#!/bin/bash
status=0
fail() { echo "FAIL: $*"; status=1; }
export HOME=/tmp/home XDG_RUNTIME_DIR=/tmp/home ASAN_OPTIONS=detect_leaks=0 LANG=C.UTF-8
mkdir -p "$HOME" && chmod 700 "$HOME"
[ -x /usr/bin/skiff ] || fail "no /usr/bin/skiff"
[ -x /usr/libexec/skiff/skiff-decode ] || fail "no decoder in /usr/libexec/skiff"
while read -r qmldir; do
    [ -f "$qmldir" ] || fail "QML module missing after install: $qmldir"
done </tmp/qml-modules.txt

# The window (drawn off screen: the root has no display server), for a few seconds.
DISPLAY=:0 QT_QPA_PLATFORM=offscreen timeout --preserve-status -s INT 8 skiff >/tmp/window.log 2>&1
code=$?
[ $code -eq 0 ] || fail "the window exited with $code"
if grep -E "is not installed|module .* not found|ReferenceError|TypeError|Cannot assign|\
Error|Segmentation" /tmp/window.log; then fail "the window's log shows errors"; fi

# The terminal front end: its address serves the page.
skiff --terminal >/tmp/terminal.log 2>&1 &
pid=$!
for _ in $(seq 50); do grep -q "?t=" /tmp/terminal.log && break; sleep 0.2; done
url=$(grep -o "http://[^ ]*?t=[0-9]*" /tmp/terminal.log | head -1)
port=$(echo "$url" | sed 's|http://[^:]*:\([0-9]*\)/.*|\1|')
code=$(echo "$url" | sed 's|.*?t=||')
if [ -z "$url" ]; then
    fail "the terminal front end printed no address"; cat /tmp/terminal.log
else
    exec 3<>"/dev/tcp/127.0.0.1/$port"
    printf 'GET /?t=%s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' "$code" >&3
    timeout 5 cat <&3 >/tmp/page.txt
    exec 3<&-
    grep -q "^HTTP/1.1 200" /tmp/page.txt && grep -qi "<html" /tmp/page.txt ||
        { fail "no page at $url"; head -5 /tmp/page.txt; }
fi
kill -INT $pid; wait $pid
[ $status -eq 0 ] && echo "installed package runs"
exit $status
EOF
chmod +x "$work/check.sh"

# Nothing but the .deb and what its Depends bring is installed on the minimal root.
mmdebstrap --variant=apt --mode=root \
    --customize-hook="copy-in $deb $work/check.sh /tmp" \
    --customize-hook="upload $modules /tmp/qml-modules.txt" \
    --customize-hook='chroot "$1" apt-get install -y --no-install-recommends /tmp/'"$(basename "$deb")" \
    --customize-hook='chroot "$1" /tmp/check.sh' \
    bookworm "$work/root" >"$work/root.log" 2>&1
status=$?
grep -E "^(FAIL|installed)|^E:" "$work/root.log"
[[ $status -eq 0 ]] || tail -40 "$work/root.log"
exit $status
