#!/usr/bin/env bash
# Makes the release a Windows user downloads: dist/varneth-<version>-win32.zip
# with the 32-bit program (stripped, reproducible), README.txt and SHA256SUMS.
set -euo pipefail
source "$(dirname "$0")/common.sh"
prepare_host
log=$(mktemp)
if ! { cmake --preset release -Wno-dev && cmake --build --preset release -j "$(nproc)"; } \
     >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  exit 1
fi
grep -i 'warning' "$log" >&2 || true
rm -f "$log"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/release/CMakeCache.txt")
mkdir -p "$root/dist"
zip="$root/dist/varneth-$version-win32.zip"
python3 "$root/scripts/pack_release.py" "$root/build/release/varneth.exe" \
  "$root/packaging/README.txt" "$version" "$zip"
echo "$zip"
