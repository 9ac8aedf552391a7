#!/usr/bin/env bash
# Installs every Debian package Skiff needs to build, run, test and benchmark. Safe to run
# again: it only asks apt for what is missing.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config
    libasio-dev libssl-dev zlib1g-dev nlohmann-json3-dev libicu-dev
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
    libvips-dev libjpeg62-turbo-dev libqrencode-dev libpng-dev qt6-base-dev
    libgtest-dev libgmock-dev
    # build: the desktop icon's PNG sizes, drawn from its SVG
    librsvg2-bin
    # build: the phone page's hashing core, compiled to WebAssembly (also the fuzzing compiler)
    clang lld
    # tests: fuzzing, sample media, real archive readers and QR decoders
    libclang-rt-14-dev ffmpeg curl unzip p7zip-full libarchive-tools python3 zbar-tools
    iproute2 procps nftables
    # tests: a fresh Debian root to install the .deb into
    mmdebstrap
    # tests: the phone page in the three engines phones use (Chromium, WebKit, Gecko); WebKitGTK
    # draws on the Xvfb display below
    chromium webkit2gtk-driver firefox-esr
    # the page's screenshots (scripts/page_screens.mjs) draw its emoji
    fonts-noto-color-emoji
    # the window's headers and libraries (what it loads at run time comes from the list below)
    qt6-declarative-dev qt6-multimedia-dev qt6-pdf-dev qt6-svg-dev qml6-module-qttest
    qt6-image-formats-plugins libcanberra-dev
    # window tests: a virtual display, a private session bus, a real notification daemon, and the
    # desktop portal with the GTK backend for the file choosers and the colour scheme
    xvfb xauth dbus dbus-x11 dunst xdotool x11-utils xdg-desktop-portal xdg-desktop-portal-gtk
    # tests: calls on the program's bus interface, and the installed desktop entry's check
    libglib2.0-bin desktop-file-utils
    # tests: the window read through the accessibility bus, as a screen reader reads it
    at-spi2-core python3-pyatspi
    # benchmarks: the peer server and load generator
    nginx-light libnginx-mod-http-echo wrk libvips-tools
)
# The program's run-time packages, one list shared with the .deb's Depends.
while read -r package; do
    [[ -z "$package" || "$package" == \#* ]] || packages+=("$package")
done <"$(dirname "$0")/../packaging/runtime-packages.txt"

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
