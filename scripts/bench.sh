#!/usr/bin/env bash
# Builds Varneth and runs the registry benchmark under Wine, in a prefix made
# fresh for it (build/wine/bench-prefix). Arguments go to the benchmark:
# repetitions, then tree sizes (default: 5 1000 10000 50000); or a mode and
# its repetitions: `classes`, `scan` (the read-only scan of 3,000 and 30,000
# extensions), `memory`, `run N`.
set -euo pipefail
source "$(dirname "$0")/common.sh"
prepare_host
build_varneth
use_fresh_prefix bench-prefix
"$root/scripts/wine-run" "$build_dir/varneth_bench.exe" "$@"
