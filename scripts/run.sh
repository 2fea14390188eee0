#!/usr/bin/env bash
# Builds Varneth and starts it under Wine on this terminal, in the project's
# own prefix (build/wine/prefix), with a Chinese console (code page 936).
set -euo pipefail
source "$(dirname "$0")/common.sh"
prepare_host
build_varneth
export VARNETH_WINEPREFIX="$root/build/wine/prefix"
[ -f "$VARNETH_WINEPREFIX/system.reg" ] || make_prefix "$VARNETH_WINEPREFIX"
exec "$root/scripts/wine-run" "$build_dir/varneth.exe"
