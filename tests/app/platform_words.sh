#!/bin/sh
# Skiff runs on Linux: no text it shows may call the computer a Mac. Apple's names stay where
# they name Apple's things (a peer that says it is a Mac, the iPhone's own menu); comments pass.
cd "$1" || exit 2
found=$(grep -rnwE 'Mac|MacBook|macOS|Finder' --include='*.cpp' --include='*.hpp' \
    --include='*.qml' --include='*.html' --include='*.js' . |
    grep -vE '^[^:]+:[0-9]+: *(//|\*|/\*)' | grep -vE 'Máy Mac|Chuyển sang Mac hoặc PC')
[ -z "$found" ] || { echo "$found"; exit 1; }
