#!/usr/bin/env bash
# Builds the text runtime natively with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, runs its unit tests, then fuzzes the text
# operations and the line-end cut for the given number of seconds (default 60).
#   scripts/native-checks.sh 3600     fuzzes for an hour
set -euo pipefail
source "$(dirname "$0")/common.sh"
seconds=${1:-60}
build="$root/build/native"
cmake -S "$root/tests/native" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -Wno-dev >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
(cd "$build" && ctest --output-on-failure)
mkdir -p "$build/corpus"
log="$build/fuzz.log"
status=0
"$build/text_fuzzer" -max_total_time="$seconds" -print_final_stats=1 "$build/corpus" >"$log" 2>&1 ||
  status=$?
if [ "$status" -ne 0 ]; then
  cat "$log" >&2
  exit "$status"
fi
grep -E '^(Done|stat::number_of_executed_units)' "$log"
