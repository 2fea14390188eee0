# Shared by run.sh and test.sh: configure and build with the mingw preset,
# and make Wine prefixes of the project's own (never the user's ~/.wine).
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

build_varneth() {
  local log
  log=$(mktemp)
  if ! { cmake --preset mingw -Wno-dev && cmake --build --preset mingw -j "$(nproc)"; } \
      >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    return 1
  fi
  grep -i 'warning' "$log" >&2 || true
  rm -f "$log"
}

# make_prefix DIR: a 32-bit prefix (no WoW64 registry redirection), quietly,
# without the Mono and Gecko installers.
make_prefix() {
  local prefix=$1
  mkdir -p "$(dirname "$prefix")"
  WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    wineboot -i >/dev/null 2>&1
  WINEPREFIX="$prefix" wineserver -w
}

# use_fresh_prefix NAME: makes build/wine/NAME anew, exports it for
# scripts/wine-run, and keeps one wineserver running until the calling
# script exits. Wine's service processes start with the first program and
# outlive it; they are started here, away from any caller's output pipes,
# which they would otherwise hold open.
use_fresh_prefix() {
  export VARNETH_WINEPREFIX="$root/build/wine/$1"
  rm -rf "$VARNETH_WINEPREFIX"
  make_prefix "$VARNETH_WINEPREFIX"
  WINEPREFIX="$VARNETH_WINEPREFIX" wineserver -p >/dev/null 2>&1 </dev/null
  "$root/scripts/wine-run" cmd /c exit >/dev/null 2>&1 </dev/null
  trap 'WINEPREFIX="$VARNETH_WINEPREFIX" wineserver -k 2>/dev/null || true' EXIT
}
