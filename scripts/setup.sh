#!/usr/bin/env bash
# Installs what building and testing need on Debian 12: the 32-bit mingw-w64
# cross-compiler, Wine (its 64-bit loader always, its 32-bit half where it can
# be had), GoogleTest's sources, Python, git (the release test lists the
# checkout's files), the locales the tests run in (zh_CN.UTF-8, so Wine's ANSI
# and console code page is 936; en_US.UTF-8 and hi_IN.UTF-8 for 1252 and
# 65001, ja_JP.UTF-8 and zh_TW.UTF-8 for 932 and 950, tr_TR.UTF-8 for a
# Turkish locale's letter case), and clang for the sanitizer and fuzzing checks. Where 32-bit Wine
# cannot run here, also the x86-64 cross-compiler. Each is judged by its
# package, so a minimal system gets everything on the first run; quiet and
# quick when everything is already there.
#
# Debian's archive is not always in step with itself: an index may fail to
# download while a mirror syncs, and the i386 half may lag the amd64 one so
# that wine32:i386 cannot be installed for hours or days. Neither stops the
# set-up: the first is retried and then passed over with a warning, the second
# takes the path for hosts without 32-bit Wine (scripts/common.sh).
set -euo pipefail

# One set-up at a time on a machine: apt and dpkg take their locks without
# waiting, and the tests of two checkouts may start together.
exec 9>"${TMPDIR:-/tmp}/varneth-setup.lock"
flock 9

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

# apt-get update once per set-up, only when something is to be installed.
# A failed update is tried again; one that still fails for some indexes only
# ("Some index files failed") leaves the others current, which is enough for
# what they hold.
updated=0
update_indexes() {
  [ "$updated" -eq 0 ] || return 0
  updated=1
  local try log
  log=$(mktemp)
  for try in 1 2 3; do
    if $sudo apt-get update -qq >"$log" 2>&1; then
      rm -f "$log"
      return 0
    fi
    [ "$try" -eq 3 ] || sleep "$try"
  done
  if grep -q 'Some index files failed to download' "$log"; then
    echo "setup: warning: some package indexes could not be fetched; going on with the others:" >&2
    grep '^E: Failed to fetch' "$log" | sed 's/^E: /setup:   /' >&2 || true
    rm -f "$log"
    return 0
  fi
  cat "$log" >&2
  rm -f "$log"
  return 1
}

missing() {
  local package
  for package in "$@"; do
    installed "$package" || echo "$package"
  done
}

# install_missing PACKAGE...: installs those not installed yet; apt's own
# words go to standard error when it fails.
install_missing() {
  local need log
  mapfile -t need < <(missing "$@")
  [ ${#need[@]} -gt 0 ] || return 0
  echo "setup: installing ${need[*]}" >&2
  update_indexes
  log=$(mktemp)
  if ! $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >"$log" 2>&1; then
    install_error=$(grep -m1 '^E: ' "$log" | sed 's/^E: //')
    [ -n "$install_error" ] || install_error="apt-get install failed"
    if [ "${quiet_failure:-0}" -eq 0 ]; then cat "$log" >&2; fi
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

install_missing g++-mingw-w64-i686-posix wine wine64 cmake make python3 googletest \
  locales clang libclang-rt-14-dev git

# Wine's 32-bit half comes from the i386 architecture. When the archive cannot
# give it, the x86-64 build is tested instead.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  updated=0
fi
# A failed try is remembered for an hour (build/setup-no-wine32, which holds
# apt's reason), so the scripts that each run this set-up ask the archive once.
stamp="$(cd "$(dirname "$0")/.." && pwd)/build/setup-no-wine32"
install_error=""
if ! installed wine32:i386 && [ -n "$(find "$stamp" -mmin -60 2>/dev/null)" ]; then
  install_error=$(cat "$stamp")
elif ! quiet_failure=1 install_missing wine32:i386; then
  mkdir -p "$(dirname "$stamp")"
  printf '%s\n' "$install_error" >"$stamp"
else
  rm -f "$stamp"
fi
if [ -n "$install_error" ]; then
  echo "setup: 32-bit Wine cannot be installed ($install_error); the x86-64 build is tested in a 64-bit prefix instead" >&2
  install_missing g++-mingw-w64-x86-64-posix
elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "setup: 32-bit Wine does not run here (the kernel runs no 32-bit programs); the x86-64 build is tested in a 64-bit prefix instead" >&2
  install_missing g++-mingw-w64-x86-64-posix
fi

# The locales' character maps come with the locales package; each locale is
# made once.
for locale in zh_CN en_US hi_IN ja_JP zh_TW tr_TR; do
  if ! locale -a 2>/dev/null | grep -qix "$locale.utf8"; then
    $sudo localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
  fi
done
