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
    # build: the phone page's hashing core, compiled to WebAssembly (also the fuzzing compiler)
    clang lld
    # tests: fuzzing, sample media, real archive readers and QR decoders
    libclang-rt-14-dev ffmpeg curl unzip libarchive-tools python3 zbar-tools
    iproute2 procps nftables
    # tests: the phone page in the three engines phones use (Chromium, WebKit, Gecko); WebKitGTK
    # draws on the Xvfb display below
    chromium webkit2gtk-driver firefox-esr
    # the page's screenshots (scripts/page_screens.mjs) draw its emoji
    fonts-noto-color-emoji
    # the window: Qt Quick, media and PDF preview, D-Bus notifications, the approval sound
    qt6-declarative-dev qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-dialogs
    qml6-module-qtquick-layouts qml6-module-qtquick-window qml6-module-qtquick-templates
    qml6-module-qtquick-shapes qml6-module-qtqml-workerscript qml6-module-qtqml-models
    qml6-module-qtcore qml6-module-qttest qml6-module-qt-labs-platform
    qt6-multimedia-dev qml6-module-qtmultimedia qt6-pdf-dev qml6-module-qtquick-pdf qt6-svg-dev
    qt6-image-formats-plugins libcanberra-dev sound-theme-freedesktop
    # window tests: a virtual display, a private session bus and a real notification daemon
    xvfb xauth dbus dbus-x11 dunst xdotool
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
