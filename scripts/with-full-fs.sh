#!/usr/bin/env bash
# Runs the command line given to it with a small tmpfs mounted and filled
# almost to the brim, so that tests can watch a real write fail for want of
# space. The mount's directory is exported as TOLVEK_FULL_FS_DIR; the tests
# that need it skip themselves without it. The filler leaves $free_pages pages
# free, which the tests top up to the exact room they want.
#
#   scripts/with-full-fs.sh build/native/tolvek_unit_tests --gtest_filter='*Full*'
#
# As root the tmpfs goes into a private mount namespace (or, where none can be
# made, into the current one until the command ends); otherwise a user
# namespace is tried; failing both, the command runs without the tmpfs.
set -uo pipefail

size=64k
free_pages=4

if [ "$#" -eq 0 ]; then
    echo "usage: $0 command [argument...]" >&2
    exit 2
fi

self="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/$(basename "${BASH_SOURCE[0]}")"

if [ -z "${TOLVEK_FULL_FS_INNER:-}" ]; then
    if [ "$(id -u)" -eq 0 ] && unshare -m --propagation private true 2>/dev/null; then
        TOLVEK_FULL_FS_INNER=1 exec unshare -m --propagation private "$self" "$@"
    elif [ "$(id -u)" -ne 0 ] && unshare -rm true 2>/dev/null; then
        TOLVEK_FULL_FS_INNER=1 exec unshare -rm "$self" "$@"
    elif [ "$(id -u)" -ne 0 ]; then
        echo "with-full-fs: no way to mount a tmpfs here; running without it" >&2
        exec "$@"
    fi
    # Root without namespaces: mount right here and unmount on the way out.
fi
unset TOLVEK_FULL_FS_INNER

dir="$(mktemp -d "${TMPDIR:-/tmp}/tolvek-full-fs-XXXXXX")" || exit 1
if ! mount -t tmpfs -o "size=$size,mode=0755" tolvek-full-fs "$dir"; then
    rmdir "$dir"
    echo "with-full-fs: mounting a tmpfs failed; running without it" >&2
    exec "$@"
fi
# shellcheck disable=SC2317  # run by the trap
cleanup() {
    umount "$dir" 2>/dev/null || umount -l "$dir"
    rmdir "$dir" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

block="$(stat -f -c %S "$dir")"
blocks="$(stat -f -c %b "$dir")"
fill=$((blocks - free_pages))
if [ "$fill" -gt 0 ]; then
    dd if=/dev/zero of="$dir/.filler" bs="$block" count="$fill" status=none
fi
echo "with-full-fs: $dir, $size tmpfs, $(stat -f -c %a "$dir") of $blocks blocks of $block bytes free" >&2

export TOLVEK_FULL_FS_DIR="$dir"
"$@"
exit $?
