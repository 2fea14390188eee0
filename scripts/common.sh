# Shared by run.sh, test.sh and bench.sh: configure and build, and make Wine
# prefixes of the project's own (never the user's ~/.wine).
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# CMake's and CTest's presets are read from the current folder.
cd "$root"

# prepare_host: installs what is missing (scripts/setup.sh), then chooses
# the build. Varneth is a 32-bit program, and Wine runs it with its 32-bit
# loader, which needs wine32:i386 and the kernel's 32-bit support. Where
# either is missing (the archive may not give wine32 for a while; some
# kernels say "Exec format error"), the program and its tests are built for
# x86-64 as well and run in a 64-bit prefix, where the same Windows API
# answers; setup.sh has said why in one line. The choice is made only once
# Wine is installed, so a first run chooses as a second would.
prepare_host() {
  bash "$root/scripts/setup.sh"
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    preset=mingw
    wine_arch=win32
  else
    preset=mingw64
    wine_arch=win64
  fi
  build_dir="$root/build/$preset"
}

# build_varneth [tested-only]: the preset's program, tests and benchmark;
# and, where that preset is not the 32-bit one, the 32-bit program as well,
# unless `tested-only` says a release build will follow anyway.
build_varneth() {
  local log shipping=1
  [ "${1:-}" != tested-only ] || shipping=0
  log=$(mktemp)
  if ! { cmake --preset "$preset" -Wno-dev && cmake --build --preset "$preset" -j "$(nproc)" &&
         if [ "$preset" != mingw ] && [ "$shipping" -eq 1 ]; then
           # The program as it ships is still built, warnings and all.
           cmake --preset mingw -Wno-dev && cmake --build --preset mingw -j "$(nproc)" --target varneth
         fi; } >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    return 1
  fi
  grep -i 'warning' "$log" >&2 || true
  rm -f "$log"
}

# make_prefix DIR: a prefix of the host's kind (32-bit where it can run:
# no WoW64 registry redirection), quietly, without the Mono and Gecko
# installers.
make_prefix() {
  local prefix=$1
  mkdir -p "$(dirname "$prefix")"
  VARNETH_WINEPREFIX="$prefix" WINEARCH=$wine_arch WINEDLLOVERRIDES="mscoree,mshtml=" \
    "$root/scripts/wine-run" wineboot -i >/dev/null 2>&1
  WINEPREFIX="$prefix" wineserver -w
}

# use_fresh_prefix NAME...: makes each build/wine/NAME anew (side by side),
# exports the first for scripts/wine-run, and keeps one wineserver per
# prefix running until the calling script exits. Wine's service processes
# start with the first program and outlive it; they are started here, away
# from any caller's output pipes, which they would otherwise hold open.
use_fresh_prefix() {
  local name pid prefix prefixes=() pids=()
  for name in "$@"; do
    prefixes+=("$root/build/wine/$name")
    rm -rf "${prefixes[-1]}"
    make_prefix "${prefixes[-1]}" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid"; done
  for prefix in "${prefixes[@]}"; do
    WINEPREFIX="$prefix" wineserver -p >/dev/null 2>&1 </dev/null
    VARNETH_WINEPREFIX="$prefix" "$root/scripts/wine-run" cmd /c exit >/dev/null 2>&1 </dev/null
  done
  export VARNETH_WINEPREFIX="${prefixes[0]}"
  wine_prefixes=("${prefixes[@]}")
  trap 'for prefix in "${wine_prefixes[@]}"; do WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; done' EXIT
}
