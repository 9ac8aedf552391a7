#!/usr/bin/env bash
# Builds everything under AddressSanitizer and UndefinedBehaviorSanitizer, gives each fuzz
# target a short bounded run, then runs every test (CTest's summary closes the output).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

cmake --preset asan >/dev/null
cmake --build --preset asan

scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

# The browser tests' driver (playwright-core, exact version from package-lock.json).
npm ci --no-audit --no-fund --loglevel=error

ctest --preset asan --parallel 2
