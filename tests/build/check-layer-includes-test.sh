#!/usr/bin/env bash
# Tests of cmake/check-layer-includes on small source trees made here: includes down the list, of
# the own folder and from the files on top pass; an include of a later layer fails, whether named
# from the source root or relative to the including file, nested folders included; a list that
# leaves out a folder, names a missing one or names one twice fails.
set -euo pipefail
check_layers=$(cd "$(dirname "$0")/../.." && pwd)/cmake/check-layer-includes
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() { # what expected-status expected-message-part src layers
  local out status=0
  out=$("$check_layers" "$4" "$5" 2>&1) || status=$?
  if [ "$status" != "$2" ]; then
    echo "FAILED: $1: status $status, expected $2 ($out)"; failures=$((failures + 1))
  elif [ -n "$3" ] && ! grep -qF -- "$3" <<<"$out"; then
    echo "FAILED: $1: '$3' not in: $out"; failures=$((failures + 1))
  else
    echo "ok: $1"
  fi
}

# A sound tree: low <- mid <- mid/sub, main.cpp and Table.h on top.
tree=$work/sound
mkdir -p "$tree/low" "$tree/mid/sub"
printf '#pragma once\n#include <windows.h>\n' >"$tree/low/Base.h"
printf '#include "low/Base.h"\n#include "Base.h"\n' >"$tree/low/Base.cpp"
printf '#pragma once\n#include "low/Base.h"\n' >"$tree/mid/Middle.h"
printf '#include "mid/Middle.h"\n#include "../low/Base.h"\n' >"$tree/mid/Middle.cpp"
printf '#include "mid/Middle.h"\n#include "low/Base.h"\n' >"$tree/mid/sub/Leaf.cpp"
printf '#pragma once\n' >"$tree/mid/sub/Leaf.h"
printf '#pragma once\n#include "mid/sub/Leaf.h"\n' >"$tree/Table.h"
printf '#include "Table.h"\n#include "mid/Middle.h"\n' >"$tree/main.cpp"
printf '# lowest first\nlow\n\nmid\nmid/sub\n' >"$work/layers.txt"
expect "includes of lower layers, the own one and from the top" 0 "" "$tree" "$work/layers.txt"

copy() { rm -rf "$work/$1"; cp -r "$tree" "$work/$1"; echo "$work/$1"; }
# refused NAME FILE CONTENT MESSAGE-PART: the sound tree with FILE rewritten fails with the message.
refused() {
  local t
  t=$(copy "$(tr ' ' _ <<<"$1")")
  printf "$3" >"$t/$2"
  expect "$1" 1 "$4" "$t" "$work/layers.txt"
}
refused "a layer including a later one's header" low/Base.cpp '#include "low/Base.h"\n#include "mid/Middle.h"\n' \
  "low/Base.cpp:2: low includes mid/Middle.h of mid"
refused "a header including a nested later layer by angle brackets" mid/Middle.h \
  '#pragma once\n#include <mid/sub/Leaf.h>\n' "mid/Middle.h:2"
refused "an upward include by a relative name" low/Base.cpp '#include "../mid/Middle.h"\n' "low/Base.cpp:1"
refused "a layer including a header of the files on top" mid/sub/Leaf.cpp '#include "mid/Middle.h"\n#include "Table.h"\n' \
  "of src, a later layer"

t=$(copy unlisted)
mkdir "$t/extra"
expect "a folder the list leaves out" 1 "extra is a folder" "$t" "$work/layers.txt"
printf 'low\nmid\nmid/sub\nghost\n' >"$work/ghost.txt"
expect "a listed layer that is no folder" 1 "ghost is listed" "$tree" "$work/ghost.txt"
printf 'low\nmid\nlow\nmid/sub\n' >"$work/twice.txt"
expect "a layer listed twice" 1 "low is listed twice" "$tree" "$work/twice.txt"

# The order is the list's: the same tree fails when mid is listed below low.
printf 'mid\nlow\nmid/sub\n' >"$work/swapped.txt"
expect "the list decides the order" 1 "mid/Middle.h:2: mid includes low/Base.h of low" "$tree" "$work/swapped.txt"

[ "$failures" = 0 ]
