#!/usr/bin/env bash
# Builds Skiff and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target skiff
exec build/release/skiff "$@"
