#!/usr/bin/env bash
# fetch-debian-source.sh WORK_DIR PACKAGE
#
# Downloads the Debian source package PACKAGE (.dsc and its tarballs) into WORK_DIR/PACKAGE through
# apt's source mechanism, for the suites this machine already installs binary packages from. apt
# runs on a private configuration under WORK_DIR/apt: its source lists are the machine's own with
# deb-src added, its package lists and caches stay there, and /etc/apt is only read. A download
# that is already complete is kept and nothing is fetched.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 WORK_DIR PACKAGE" >&2
  exit 2
fi
mkdir -p "$1"
work_dir=$(cd "$1" && pwd)
package=$2
apt_dir=$work_dir/apt
dest=$work_dir/$package

fail() {
  {
    echo "fetch-debian-source: $*"
    echo "fetch-debian-source: the Debian source package '$package' is needed to build quarn's" \
      "dependencies; this machine's apt sources must reach it (deb-src of the suites in" \
      "/etc/apt/sources.list and /etc/apt/sources.list.d)."
  } >&2
  exit 1
}

if [ -f "$dest/.complete" ]; then
  exit 0
fi

command -v apt-get >/dev/null || fail "apt-get is missing"
command -v apt-config >/dev/null || fail "apt-config is missing"

# The machine's source lists, as apt itself locates them, turned into private copies that also
# name the source indexes.
eval "$(apt-config shell system_list Dir::Etc::SourceList/f system_parts Dir::Etc::SourceParts/d)"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
rm -f "$apt_dir/sources.list.d/"*
: >"$apt_dir/sources.list"

# One-line format: every "deb" line gets its "deb-src" twin (options and all).
add_src_lines() {
  sed -n -e '/^[[:space:]]*deb[[:space:]]/{p;s/deb/deb-src/p}' "$1"
}
# deb822 format: "Types: deb" stanzas also carry deb-src.
add_src_types() {
  sed -e '/^Types:/I{/deb-src/!s/\<deb\>/deb deb-src/}' "$1"
}

found=0
if [ -f "$system_list" ]; then
  add_src_lines "$system_list" >>"$apt_dir/sources.list"
  [ -s "$apt_dir/sources.list" ] && found=1
fi
if [ -d "$system_parts" ]; then
  for file in "$system_parts"/*; do
    [ -f "$file" ] || continue
    name=$(basename "$file")
    case "$name" in
      *.list) add_src_lines "$file" >"$apt_dir/sources.list.d/$name" ;;
      *.sources) add_src_types "$file" >"$apt_dir/sources.list.d/$name" ;;
      *) continue ;;
    esac
    found=1
  done
fi
[ "$found" = 1 ] || fail "no apt sources are configured on this machine"

cat >"$apt_dir/apt.conf" <<EOF
Dir::Etc::SourceList "$apt_dir/sources.list";
Dir::Etc::SourceParts "$apt_dir/sources.list.d";
Dir::State::Lists "$apt_dir/lists";
Dir::Cache "$apt_dir/cache";
Dir::Cache::Archives "$apt_dir/cache/archives";
APT::Sandbox::User "root";
EOF
export APT_CONFIG=$apt_dir/apt.conf

# The private lists are refreshed once a day at most, and whenever they do not list the package.
stamp=$apt_dir/lists/.updated
updated=0
update_lists() {
  echo "fetch-debian-source: reading the source indexes of this machine's apt sources"
  apt-get update -q </dev/null >"$apt_dir/update.log" 2>&1 \
    || { cat "$apt_dir/update.log" >&2; fail "apt-get update of the source indexes failed"; }
  touch "$stamp"
  updated=1
}
if [ ! -f "$stamp" ] || [ -n "$(find "$stamp" -mmin +1440)" ]; then
  update_lists
fi
listed_versions() {
  apt-cache showsrc "$package" 2>/dev/null | sed -n -e 's/^Version: //p' | sort -u
}
if [ -z "$(listed_versions)" ] && [ "$updated" = 0 ]; then
  update_lists
fi

# Newest first; a version whose files the archive no longer (or not yet) serves is passed over for
# the next one the indexes list.
versions=()
while read -r version; do
  [ -n "$version" ] || continue
  placed=0
  for i in "${!versions[@]}"; do
    if dpkg --compare-versions "$version" gt "${versions[$i]}"; then
      versions=("${versions[@]:0:$i}" "$version" "${versions[@]:$i}")
      placed=1
      break
    fi
  done
  [ "$placed" = 1 ] || versions+=("$version")
done < <(listed_versions)
[ ${#versions[@]} -gt 0 ] || fail "no source index lists $package (no network, or no deb-src for these suites)"

log=$work_dir/$package.log
: >"$log"
fetch_version() {
  rm -rf "$dest"
  mkdir -p "$dest"
  echo "fetch-debian-source: downloading the source package $package $1"
  (cd "$dest" && apt-get source -q --download-only "$package=$1" </dev/null) >>"$log" 2>&1
}
# The upstream tarball and the .dsc are what the build needs; apt has checked each file it kept
# against the signed indexes.
has_upstream() {
  ls "$dest"/*.dsc >/dev/null 2>&1 && ls "$dest"/*.orig.tar.* >/dev/null 2>&1
}

for version in "${versions[@]}"; do
  if fetch_version "$version"; then
    touch "$dest/.complete"
    exit 0
  fi
done
# No version arrived whole: the newest whose upstream source arrived will do, without the Debian
# changes that did not.
for version in "${versions[@]}"; do
  fetch_version "$version" || true
  if has_upstream; then
    echo "fetch-debian-source: $package $version: only part of the source package could be" \
      "downloaded; building from its upstream tarball (see $log)" >&2
    touch "$dest/.complete"
    exit 0
  fi
done
cat "$log" >&2
fail "no version of $package could be downloaded (${versions[*]})"
