#!/usr/bin/env bash
# Without network access, cmake/fetch-debian-source.sh fails at once with a message that names the
# missing source package. The test runs the script in a network namespace of its own (needs root
# and unshare; skipped otherwise, exit 77).
set -euo pipefail
fetch=$(cd "$(dirname "$0")/../.." && pwd)/cmake/fetch-debian-source.sh
if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null || ! unshare -n true 2>/dev/null; then
  echo "skipped: needs root and unshare -n"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if output=$(unshare -n "$fetch" "$work" libidn 2>&1); then status=0; else status=$?; fi
echo "$output"
[ "$status" -eq 1 ] || { echo "FAILED: exit code $status, expected 1"; exit 1; }
grep -q "the Debian source package 'libidn' is needed to build quarn's dependencies" <<<"$output" \
  || { echo "FAILED: the message does not name the missing package"; exit 1; }
[ ! -e "$work/libidn/.complete" ] || { echo "FAILED: a failed download is marked complete"; exit 1; }
echo "ok: offline fetch fails naming libidn"
