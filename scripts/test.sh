#!/usr/bin/env bash
# Builds Varneth and its tests and runs every test under Wine, in prefixes
# made fresh for this run: one lane per core, up to 4 (build/wine/test-prefix,
# then test-prefix-2, ...), each test in one, as many tests at once as there are
# lanes. Then makes the release zip and tests it. Given CTest arguments (a
# subset), it runs only those.
set -euo pipefail
source "$(dirname "$0")/common.sh"
prepare_host
if [ $# -eq 0 ]; then
  # The release below builds the program as it ships, warnings and all.
  build_varneth tested-only
else
  build_varneth
fi
lanes=$(nproc)
[ "$lanes" -le 4 ] || lanes=4
names=(test-prefix) ids='{"id": "1", "slots": 1}'
for ((lane = 2; lane <= lanes; lane++)); do
  names+=("test-prefix-$lane")
  ids+=", {\"id\": \"$lane\", \"slots\": 1}"
done
use_fresh_prefix "${names[@]}"
# CTest gives each test a lane's id; scripts/wine-run and the end-to-end
# tests find the lane's prefix from it.
spec="$build_dir/wine-prefixes.json"
echo "{\"version\": {\"major\": 1, \"minor\": 0}, \"local\": [{\"prefix\": [$ids]}]}" >"$spec"
unset VARNETH_WINEPREFIX
ctest --preset "$preset" --resource-spec-file "$spec" -j "$lanes" "$@"
if [ $# -eq 0 ]; then
  "$root/scripts/release.sh" >/dev/null
  "$root/scripts/test-release.sh"
fi
