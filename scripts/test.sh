#!/usr/bin/env bash
# Builds Varneth and its tests and runs every test under Wine, in a prefix
# made fresh for this run (build/wine/test-prefix).
set -euo pipefail
source "$(dirname "$0")/common.sh"
bash "$root/scripts/setup.sh"
build_varneth
export VARNETH_WINEPREFIX="$root/build/wine/test-prefix"
rm -rf "$VARNETH_WINEPREFIX"
make_prefix "$VARNETH_WINEPREFIX"
# One wineserver for the whole run, so each test program starts quickly.
# Wine's service processes start with the first program and outlive it; they
# are started here, away from CTest's output pipes, which they would
# otherwise hold open.
WINEPREFIX="$VARNETH_WINEPREFIX" wineserver -p >/dev/null 2>&1 </dev/null
"$root/scripts/wine-run" cmd /c exit >/dev/null 2>&1 </dev/null
trap 'WINEPREFIX="$VARNETH_WINEPREFIX" wineserver -k 2>/dev/null || true' EXIT
ctest --preset mingw "$@"
