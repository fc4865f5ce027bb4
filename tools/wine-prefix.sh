# Shared by wine-run and wineserver-ctl (sourced): the project's Wine prefix and its server.

# Under a C or POSIX locale Wine cannot name files whose names are not ASCII, and tree walks then
# pass over them without an error: Wine always runs under a UTF-8 locale, whatever the caller's.
export LC_ALL=C.UTF-8

# Creates $WINEPREFIX on first use; concurrent callers wait for the one that creates it.
ensure_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  ( flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then wineboot -i </dev/null >/dev/null 2>&1 || true; wineserver -w; fi
  ) 9>"$WINEPREFIX.lock"
}

# Starts the server (with the given -p option) and Wine's own services, detached from our output:
# started by a program, they would inherit its pipes and keep them open, and a test runner would
# wait for them forever. Does nothing when a server of the prefix is running already.
start_server() {
  if wineserver "$1" </dev/null >/dev/null 2>&1; then
    wine wineboot </dev/null >/dev/null 2>&1 || true
  fi
}
