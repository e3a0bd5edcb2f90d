#!/usr/bin/env bash
# Installs the build and test tools that are missing, on Debian or Ubuntu.
# Quiet when everything is there; uses sudo when not run as root.
set -euo pipefail

packages=(
    build-essential g++ cmake ninja-build libgtest-dev libbenchmark-dev
    g++-mingw-w64-x86-64
    # libFuzzer comes with clang's runtime libraries, which are added below
    # for the version of clang that is installed.
    clang
    # Wine and what it draws with; without the recommended set, fonts and
    # the X extensions below have to be named.
    wine wine64 fonts-wine libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxfixes3
    xvfb xauth xfonts-base xdotool imagemagick
    # The release package (scripts/release.sh).
    python3
)

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
updated=""

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

update_once() {
    [ -n "$updated" ] && return 0
    "${sudo[@]}" apt-get update -qq >/dev/null
    updated=1
}

# Installs those of the given packages that are missing.
install_missing() {
    local missing=() p
    for p in "$@"; do installed "$p" || missing+=("$p"); done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "setup: installing ${missing[*]}" >&2
    update_once
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" \
        >/dev/null
}

install_missing "${packages[@]}"

# The runtime libraries of the installed clang's major version; older
# releases ship them in the common package.
major="$(clang -dumpversion | cut -d. -f1)"
runtime="libclang-rt-$major-dev"
if ! installed "$runtime"; then
    update_once
    apt-cache show "$runtime" >/dev/null 2>&1 || runtime="libclang-common-$major-dev"
fi
install_missing "$runtime"
