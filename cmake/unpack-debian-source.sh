#!/usr/bin/env bash
# unpack-debian-source.sh DOWNLOAD_DIR DEST [SUBTREE]
#
# Unpacks a Debian source package of format 3.0 (quilt) that fetch-debian-source.sh downloaded:
# the upstream tarball into DEST, then Debian's patches in the order of debian/patches/series.
# With SUBTREE only that folder of the upstream tree is unpacked (DEST is then that folder), and
# only the patches that change files under it are applied; a patch that changes files both inside
# and outside SUBTREE cannot be applied to the part and stops the unpacking.
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 DOWNLOAD_DIR DEST [SUBTREE]" >&2
  exit 2
fi
download_dir=$1
dest=$2
subtree=${3:-}

fail() {
  echo "unpack-debian-source: $*" >&2
  exit 1
}

orig=$(ls "$download_dir"/*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n 1 || true)
[ -n "$orig" ] || fail "no upstream tarball in $download_dir"
debian_tar=$(ls "$download_dir"/*.debian.tar.* 2>/dev/null | head -n 1 || true)

rm -rf "$dest" "$dest.tmp"
mkdir -p "$dest.tmp"
# A failed unpacking leaves nothing behind.
trap 'rm -rf "$dest.tmp"' EXIT
if [ -n "$subtree" ]; then
  # The upstream tarball has one top folder, whatever the release is called.
  tar -xf "$orig" -C "$dest.tmp" --wildcards "*/$subtree/*"
else
  tar -xf "$orig" -C "$dest.tmp"
fi
top=$(find "$dest.tmp" -mindepth 1 -maxdepth 1 -type d | head -n 1)
[ -n "$top" ] || fail "$orig holds no folder"
tree=$top
[ -z "$subtree" ] || tree=$top/$subtree
[ -d "$tree" ] || fail "$orig holds no $subtree"

if [ -n "$debian_tar" ]; then
  mkdir -p "$dest.tmp/debian-files"
  tar -xf "$debian_tar" -C "$dest.tmp/debian-files"
  patches=$dest.tmp/debian-files/debian/patches
  if [ -f "$patches/series" ]; then
    while read -r name _; do
      case "$name" in '' | '#'*) continue ;; esac
      file=$patches/$name
      # Paths a patch changes, without their a/ and b/ prefixes.
      changed=$(sed -n -e 's/^+++ \([^[:space:]]*\).*/\1/p' "$file" | sed -e 's|^[^/]*/||')
      if [ -n "$subtree" ]; then
        inside=$(printf '%s\n' "$changed" | grep -c "^$subtree/" || true)
        [ "$inside" -gt 0 ] || continue
        [ "$inside" -eq "$(printf '%s\n' "$changed" | grep -c .)" ] \
          || fail "Debian patch $name changes $subtree/ and files outside it"
        patch -d "$tree" -p2 -s -N -i "$file" || fail "Debian patch $name does not apply"
      else
        patch -d "$tree" -p1 -s -N -i "$file" || fail "Debian patch $name does not apply"
      fi
    done <"$patches/series"
  fi
fi

mv "$tree" "$dest"
rm -rf "$dest.tmp"
