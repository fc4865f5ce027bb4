#!/usr/bin/env bash
# Tests of cmake/unpack-debian-source.sh on a small source package made here: the upstream tree
# (or one folder of it) is unpacked and Debian's patches are applied in series order; a patch of
# files outside the folder is left out, one that mixes both stops the unpacking.
set -euo pipefail
unpack=$(cd "$(dirname "$0")/../.." && pwd)/cmake/unpack-debian-source.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
  if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAILED: $1: expected '$3', got '$2'"; failures=$((failures + 1)); fi
}

# Upstream: pkg-1.2/{top.txt, lib/a.txt}.
mkdir -p "$work/up/pkg-1.2/lib" "$work/pkg"
echo top >"$work/up/pkg-1.2/top.txt"
echo a >"$work/up/pkg-1.2/lib/a.txt"
tar -czf "$work/pkg/pkg_1.2.orig.tar.gz" -C "$work/up" pkg-1.2
: >"$work/pkg/pkg_1.2-1.dsc"

make_patch() { # name path old new
  printf -- '--- a/%s\n+++ b/%s\n@@ -1 +1 @@\n-%s\n+%s\n' "$2" "$2" "$3" "$4" >"$work/debian/debian/patches/$1"
}
mkdir -p "$work/debian/debian/patches"
make_patch lib.patch lib/a.txt a a-patched
make_patch top.patch top.txt top top-patched
printf '# comment\nlib.patch\ntop.patch\n' >"$work/debian/debian/patches/series"
tar -cJf "$work/pkg/pkg_1.2-1.debian.tar.xz" -C "$work/debian" debian

"$unpack" "$work/pkg" "$work/whole"
check "whole tree, lib patch" "$(cat "$work/whole/lib/a.txt")" a-patched
check "whole tree, top patch" "$(cat "$work/whole/top.txt")" top-patched

"$unpack" "$work/pkg" "$work/part" lib
check "subtree, its patch" "$(cat "$work/part/a.txt")" a-patched
check "subtree only" "$(ls "$work/part")" a.txt

# Without the Debian tarball: the upstream tree as it is.
mkdir "$work/bare" && cp "$work/pkg/pkg_1.2.orig.tar.gz" "$work/pkg/pkg_1.2-1.dsc" "$work/bare/"
"$unpack" "$work/bare" "$work/plain" lib
check "no Debian tarball" "$(cat "$work/plain/a.txt")" a

# A patch of lib/ and of top.txt cannot be applied to lib/ alone.
printf -- '--- a/lib/a.txt\n+++ b/lib/a.txt\n@@ -1 +1 @@\n-a\n+b\n--- a/top.txt\n+++ b/top.txt\n@@ -1 +1 @@\n-top\n+t\n' \
  >"$work/debian/debian/patches/mixed.patch"
echo mixed.patch >"$work/debian/debian/patches/series"
tar -cJf "$work/pkg/pkg_1.2-1.debian.tar.xz" -C "$work/debian" debian
if message=$("$unpack" "$work/pkg" "$work/mixed" lib 2>&1); then status=0; else status=$?; fi
check "mixed patch fails" "$status" 1
check "mixed patch message" "$message" "unpack-debian-source: Debian patch mixed.patch changes lib/ and files outside it"
check "nothing left of a failed unpacking" "$(ls -d "$work/mixed" "$work/mixed.tmp" 2>/dev/null || true)" ""

[ "$failures" -eq 0 ]
