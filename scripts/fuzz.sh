#!/usr/bin/env bash
# Runs every libFuzzer target for the given number of seconds (default 30) on a copy of its
# seed corpus. A crash fails the run and leaves the input in build/fuzz/crashes.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

mkdir -p build/fuzz/crashes
for target in build/fuzz/tests/fuzz/fuzz_*; do
    name=$(basename "$target")
    seeds=tests/fuzz/corpus/${name#fuzz_}
    work=build/fuzz/corpus/$name
    mkdir -p "$work"
    echo "fuzzing $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix=build/fuzz/crashes/ "$work" "$seeds" 2>build/fuzz/$name.log \
        || { tail -n 40 build/fuzz/$name.log; exit 1; }
    grep -E 'stat::number_of_executed_units' build/fuzz/$name.log || true
done
