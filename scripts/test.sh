#!/usr/bin/env bash
# Builds Varneth and its tests and runs every test under Wine, in a prefix
# made fresh for this run (build/wine/test-prefix); then makes the release
# zip and tests it. Given CTest arguments (a subset), it runs only those.
set -euo pipefail
source "$(dirname "$0")/common.sh"
prepare_host
if [ $# -eq 0 ]; then
  # The release below builds the program as it ships, warnings and all.
  build_varneth tested-only
else
  build_varneth
fi
use_fresh_prefix test-prefix
ctest --preset "$preset" "$@"
if [ $# -eq 0 ]; then
  "$root/scripts/release.sh" >/dev/null
  "$root/scripts/test-release.sh"
fi
