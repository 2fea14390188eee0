#!/usr/bin/env bash
# Tests the release zip that scripts/release.sh made: its content and sums,
# the stripped program, a second build in another folder compared byte for
# byte, and the program run from the zip under Wine.
set -euo pipefail
source "$(dirname "$0")/common.sh"
prepare_host
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/release/CMakeCache.txt")
python3 "$root/tests/release/test_release.py" "$root/dist/varneth-$version-win32.zip"
