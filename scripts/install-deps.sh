#!/usr/bin/env bash
# Installs every Debian package Skiff needs to build, run, test and benchmark. Safe to run
# again: it only asks apt for what is missing.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config
    libasio-dev libssl-dev zlib1g-dev nlohmann-json3-dev libicu-dev
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
    libvips-dev libqrencode-dev libpng-dev qt6-base-dev
    libgtest-dev libgmock-dev
    # tests: fuzzing, sample media, real archive readers and QR decoders
    clang lld libclang-rt-14-dev ffmpeg curl unzip libarchive-tools python3 zbar-tools
    iproute2 procps
    # tests: the phone page in a real browser
    chromium
    # benchmarks: the peer server and load generator
    nginx-light libnginx-mod-http-echo wrk libvips-tools
)

# Node.js may come from elsewhere on the machine; Debian's is taken only when there is none.
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update
    "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
