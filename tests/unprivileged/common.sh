# Sourced by the scripts of this folder: quarn.exe run by the unprivileged Unix user quarn-unpriv.
# Root passes every Unix permission check, so under root Wine never answers "access denied"; as
# another user it does. The user gets one Wine prefix per build folder (BUILD/unprivileged/prefix,
# made on first use): Wine accepts only a prefix its user owns, and two build folders tested at
# the same time must not share a wineserver or the services' pipe names.
# After `unprivileged_setup BUILD_FOLDER`: $build, $user, $home, $prefix, as_user, quarn,
# start_standin, and the check counters (pass, fail, finish). Exits 77 (skipped) without root.

unprivileged_setup() {
  build=$(cd "${1:?usage: $(basename "$0") BUILD_FOLDER}" && pwd)
  user=quarn-unpriv
  home=$build/unprivileged
  prefix=$home/prefix
  [ "$(id -u)" -eq 0 ] || { echo "skipped: only root can make the unprivileged user"; exit 77; }
  id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
  mkdir -p "$prefix"
  chown "$user:" "$home" "$prefix"
  export LC_ALL=C.UTF-8
  if [ ! -f "$prefix/system.reg" ]; then
    as_user wineboot -i </dev/null >/dev/null 2>&1 || true
    as_user wineserver -w
  fi
  # Wine's own services start with the server, detached from our output: started by a client in a
  # command substitution they would keep its pipe open and the substitution would never end.
  if as_user wineserver -p </dev/null >/dev/null 2>&1; then as_user wine wineboot </dev/null >/dev/null 2>&1 || true; fi
  standin_pid=
  trap unprivileged_cleanup EXIT
}

as_user() {
  runuser -u "$user" -- env HOME="$home" WINEPREFIX="$prefix" WINEDEBUG=-all LC_ALL=C.UTF-8 \
    WINEDLLOVERRIDES="mscoree,mshtml=" "$@"
}

# Runs quarn.exe for ROOT; standard output only.
quarn() { as_user wine "$build/quarn.exe" ROOT "$@" </dev/null 2>/dev/null; }

# start_standin VHOSTS_ROOT: the stand-in services on the sample settings with that virtual-hosts
# root, waited for until quarn reaches them.
start_standin() {
  local settings=$home/settings.ini
  sed "s|^HTTPD_VHOSTS_D=.*|HTTPD_VHOSTS_D=${1//\\/\\\\}|" \
    "$(dirname "${BASH_SOURCE[0]}")/../../tools/panel-standin/sample-settings.ini" >"$settings"
  chown "$user:" "$settings"
  as_user wine "$build/tools/panel-standin.exe" "$(as_user winepath -w "$settings" 2>/dev/null)" \
    </dev/null >/dev/null 2>&1 &
  standin_pid=$!
  local out
  for _ in $(seq 100); do
    out=$(quarn file_exists "$1" || true)
    [[ $out == *'pipe\tnapipe'* ]] || break
    sleep 0.2
  done
}

unprivileged_cleanup() {
  if [ -n "$standin_pid" ]; then
    as_user wine "$build/tools/panel-standin.exe" --stop </dev/null >/dev/null 2>&1 || true
    for _ in $(seq 50); do kill -0 "$standin_pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$standin_pid" 2>/dev/null; then kill "$standin_pid"; fi
  fi
  as_user wineserver -k 2>/dev/null || true
  if declare -F cleanup_site >/dev/null; then cleanup_site; fi
}

checks=0 failures=0
pass() { checks=$((checks + 1)); echo "ok   $*"; }
fail() { checks=$((checks + 1)) failures=$((failures + 1)); echo "FAIL $*"; }
# unchanged NAME BEFORE AFTER: one check that two listings of a folder are the same.
unchanged() {
  if [ "$2" != "$3" ]; then
    fail "$1 changed:"
    diff <(echo "$2") <(echo "$3") || true
  else
    pass "$1 is as it was"
  fi
}
finish() {
  echo "$((checks - failures)) passed, $failures failed"
  [ "$failures" -eq 0 ]
}
