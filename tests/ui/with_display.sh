#!/usr/bin/env bash
# Runs a command on a private virtual display (Xvfb) with a private session bus, so window tests
# neither need nor touch the user's desktop.
#     tests/ui/with_display.sh COMMAND [ARGS...]
set -euo pipefail
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (scripts/install-deps.sh)"; exit 1; }
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
# What the test or the desktop's services (dconf) write goes to a folder of its own, never the
# user's settings.
config=$(mktemp -d) && trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME=$config
xvfb-run -a -s "-screen 0 1440x1000x24 -nolisten tcp" dbus-run-session -- "$@"
