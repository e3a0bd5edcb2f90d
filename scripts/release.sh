#!/usr/bin/env bash
# Builds the package for Windows users:
#
#   bash scripts/release.sh
#
# makes build/release/tolvek-<version>-win64.zip (tolvek.exe,
# tolvek-compact.exe, the sample configuration as TOLVEK.INI.sample and the
# user's guide as README.txt) and its SHA-256 checksum beside it,
# tolvek-<version>-win64.zip.sha256. The version is the one that project() in
# CMakeLists.txt sets. The executables need nothing else beside them. Prints
# the zip's path last.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
. "$root/scripts/lib.sh"

bash "$root/scripts/setup.sh"
mkdir -p "$root/build"
echo "release: building the Windows executables (log: build/release-build.log)" >&2
if ! build_windows "$root/build/release-build.log" tolvek tolvek-compact; then
    tail -n 40 "$root/build/release-build.log" >&2
    echo "release: the build failed" >&2
    exit 1
fi

version="$(sed -n 's/^#define TOLVEK_VERSION "\(.*\)"$/\1/p' "$root/build/mingw/generated/tolvek_version.h")"
if [ -z "$version" ]; then
    echo "release: no version in build/mingw/generated/tolvek_version.h" >&2
    exit 1
fi
name="tolvek-$version-win64"
out="$root/build/release"
mkdir -p "$out"
rm -f "$out/$name.zip" "$out/$name.zip.sha256"

python3 - "$out/$name.zip" "$root" <<'EOF'
import sys
import zipfile

target, root = sys.argv[1], sys.argv[2]


def windows_lines(path):
    # Notepad of older Windows shows a file with bare LF line ends as one line.
    return open(path, "rb").read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
    z.write(f"{root}/build/mingw/tolvek.exe", "tolvek.exe")
    z.write(f"{root}/build/mingw/tolvek-compact.exe", "tolvek-compact.exe")
    # Byte for byte what "Sample INI" writes.
    z.write(f"{root}/scripts/sample.ini", "TOLVEK.INI.sample")
    z.writestr("README.txt", windows_lines(f"{root}/docs/guide.txt"))
EOF
(cd "$out" && sha256sum "$name.zip" >"$name.zip.sha256")
echo "$out/$name.zip"
