#!/usr/bin/env bash
# Builds Varneth and runs the registry benchmark under Wine, in a prefix made
# fresh for it (build/wine/bench-prefix). Arguments go to the benchmark:
# repetitions, then tree sizes (default: 5 1000 10000 50000).
set -euo pipefail
source "$(dirname "$0")/common.sh"
bash "$root/scripts/setup.sh"
build_varneth
export VARNETH_WINEPREFIX="$root/build/wine/bench-prefix"
rm -rf "$VARNETH_WINEPREFIX"
make_prefix "$VARNETH_WINEPREFIX"
WINEPREFIX="$VARNETH_WINEPREFIX" wineserver -p >/dev/null 2>&1 </dev/null
trap 'WINEPREFIX="$VARNETH_WINEPREFIX" wineserver -k 2>/dev/null || true' EXIT
"$root/scripts/wine-run" "$root/build/mingw/varneth_bench.exe" "$@"
