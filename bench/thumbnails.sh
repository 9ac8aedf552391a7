#!/usr/bin/env bash
# Thumbnails per second: the media library's prefetch path (two at a time, 300 px JPEG at
# quality 72) against libvips' own vipsthumbnail in two parallel processes, on the same
# generated 12-megapixel JPEGs, alternating runs so drift in the machine's speed falls on
# both alike. Target: a ratio of at least 0.8.
#
# Settings (environment): FILES (100), ROUNDS (3), NO_BUILD=1 to use the program as built,
# RECORD=1 to append the figures to bench/RESULTS.md.
set -euo pipefail
cd "$(dirname "$0")/.."

files=${FILES:-100}
rounds=${ROUNDS:-3}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [[ -z "${NO_BUILD:-}" ]]; then
    scripts/install-deps.sh
    cmake --preset release >/dev/null
    if cmake --build --preset release --target help | grep -q '^bench_thumbnails:'; then
        cmake --build --preset release --target bench_thumbnails >/dev/null
    else
        # Not hooked into the main build: link the program against the media library directly.
        cmake --build --preset release --target skiff_media >/dev/null
        mkdir -p build/release/bench/thumbnails
        # shellcheck disable=SC2046
        c++ -std=c++20 -O2 -g -Wall -Wextra -DASIO_STANDALONE -DASIO_NO_DEPRECATED -Isrc \
            bench/thumbnails/bench_thumbnails.cpp build/release/src/media/libskiff_media.a \
            $(pkg-config --cflags --libs vips libavformat libavcodec libavutil libswscale) \
            -pthread -o build/release/bench/thumbnails/bench_thumbnails
    fi
fi
bench=build/release/bench/thumbnails/bench_thumbnails
[[ -x "$bench" ]] || { echo "$bench is missing; run without NO_BUILD" >&2; exit 1; }
command -v vipsthumbnail >/dev/null || { echo "vipsthumbnail is missing (libvips-tools)" >&2; exit 1; }

# --- photo-like inputs: smooth colour fields with fine grain, about 5 MB each at Q=90 ---
echo "Making $files JPEGs of 4000x3000..." >&2
cd "$tmp"
for band in 1 2 3; do
    vips gaussnoise "field$band.v" 400 300 --sigma 50 --mean 128
    vips gaussnoise "grain$band.v" 4000 3000 --sigma 4 --mean 0
done
vips bandjoin "field1.v field2.v field3.v" field.v
vips resize field.v fieldbig.v 10 --kernel cubic
vips bandjoin "grain1.v grain2.v grain3.v" grain.v
vips add fieldbig.v grain.v sum.v
vips cast sum.v cast.v uchar
vips copy cast.v base.v --interpretation srgb
rm -f field*.v grain*.v sum.v cast.v
mkdir photos
# Each file a little brighter than the last, so no two are the same bytes.
seq "$files" | xargs -P2 -I{} vips linear base.v "photos/photo{}.jpg[Q=90]" 1 "{}"
rm -f base.v
cd - >/dev/null
photos=("$tmp"/photos/*.jpg)
cat "${photos[@]}" >/dev/null  # both sides read from the page cache
bytes=$(du -cb "${photos[@]}" | tail -1 | cut -f1)

now() { date +%s.%N; }
rate() { awk -v n="$files" -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", n / (b - a) }'; }

ours=()
theirs=()
for round in $(seq "$rounds"); do
    start=$(now)
    "$bench" "${photos[@]}" >/dev/null
    ours+=("$(rate "$start" "$(now)")")

    rm -rf "$tmp/out" && mkdir "$tmp/out"
    start=$(now)
    printf '%s\n' "${photos[@]}" |
        xargs -P2 -n$(((files + 1) / 2)) vipsthumbnail --size 300x300 -o "$tmp/out/%s.jpg[Q=72]"
    theirs+=("$(rate "$start" "$(now)")")
    made=$(find "$tmp/out" -name '*.jpg' | wc -l)
    [[ "$made" -eq "$files" ]] || { echo "vipsthumbnail made $made of $files" >&2; exit 1; }
    echo "round $round: skiff ${ours[-1]} files/s, vipsthumbnail ${theirs[-1]} files/s" >&2
done

mean() { printf '%s\n' "$@" | awk '{ s += $1 } END { printf "%.2f", s / NR }'; }
ours_mean=$(mean "${ours[@]}")
theirs_mean=$(mean "${theirs[@]}")
ratio=$(awk -v a="$ours_mean" -v b="$theirs_mean" 'BEGIN { printf "%.2f", a / b }')
met=$(awk -v r="$ratio" 'BEGIN { print (r >= 0.8 ? "met" : "not met") }')

report=$(
    echo "### thumbnails.sh: 300 px JPEG thumbnails of 12-megapixel photos"
    echo
    echo "$files JPEGs of 4000x3000 at Q=90, $((bytes / files / 1024)) KiB each on average, read from the"
    echo "page cache. Skiff: a fresh ThumbStore prefetching every file and waiting until all are"
    echo "cached (two at a time). Reference: $(vips --version), \`vipsthumbnail --size 300x300"
    echo "-o %s.jpg[Q=72]\` in two parallel processes of $(((files + 1) / 2)) files each."
    echo
    echo "| run | Skiff files/s | vipsthumbnail files/s |"
    echo "| --- | ---: | ---: |"
    for i in "${!ours[@]}"; do echo "| $((i + 1)) | ${ours[$i]} | ${theirs[$i]} |"; done
    echo "| mean | **$ours_mean** | **$theirs_mean** |"
    echo
    echo "Ratio Skiff/vipsthumbnail: **$ratio**. Target ≥ 0.8: **$met**."
)
echo "$report"
if [[ -n "${RECORD:-}" ]]; then
    printf '\n## Thumbnails\n\n%s\n' "$report" >>bench/RESULTS.md
fi
