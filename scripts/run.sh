#!/usr/bin/env bash
# Builds Skiff and runs it. Files and folders named after the command are shared.
set -euo pipefail
# Paths are made absolute before moving to the repository.
arguments=()
for argument in "$@"; do
    case "$argument" in
        -*) arguments+=("$argument") ;;
        *) arguments+=("$(realpath -m -- "$argument")") ;;
    esac
done
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target skiff
exec build/release/skiff "${arguments[@]+"${arguments[@]}"}"
