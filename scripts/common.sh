# Sourced by the scripts: where the tree and the build folder are.
QUARN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QUARN_BUILD_DIR=${QUARN_BUILD_DIR:-build}
case "$QUARN_BUILD_DIR" in /*) ;; *) QUARN_BUILD_DIR=$QUARN_ROOT/$QUARN_BUILD_DIR ;; esac
export QUARN_BUILD_DIR
# Every Windows program of one build folder runs in that folder's Wine prefix.
export WINEPREFIX=$QUARN_BUILD_DIR/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
# Wine names non-ASCII files only under a UTF-8 locale (see tools/wine-prefix.sh).
export LC_ALL=C.UTF-8
