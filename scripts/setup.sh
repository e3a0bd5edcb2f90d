#!/usr/bin/env bash
# Installs the build and test tools that are missing, on Debian or Ubuntu.
# Quiet when everything is there; uses sudo when not run as root.
set -euo pipefail

packages=(
    build-essential g++ cmake ninja-build libgtest-dev libbenchmark-dev
    g++-mingw-w64-x86-64
    # libFuzzer comes with clang's runtime libraries.
    clang libclang-rt-14-dev
    # Wine and what it draws with; without the recommended set, fonts and
    # the X extensions below have to be named.
    wine wine64 fonts-wine libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxfixes3
    xvfb xauth xfonts-base xdotool imagemagick
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "setup: installing ${missing[*]}" >&2
"${sudo[@]}" apt-get update -qq >/dev/null
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
