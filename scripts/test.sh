#!/usr/bin/env bash
# Builds Varneth and its tests and runs every test under Wine, in a prefix
# made fresh for this run (build/wine/test-prefix).
set -euo pipefail
source "$(dirname "$0")/common.sh"
prepare_host
build_varneth
use_fresh_prefix test-prefix
ctest --preset "$preset" "$@"
