#!/usr/bin/env bash
# Installs what building and testing need on Debian 12: the 32-bit mingw-w64
# cross-compiler, 32-bit Wine, GoogleTest's sources, Python, git (the release
# test lists the checkout's files), the zh_CN.UTF-8 locale (so Wine's ANSI and
# console code page is 936), clang for the sanitizer and fuzzing checks, and
# Wine's 64-bit loader. Where the host runs no 32-bit programs, also the
# x86-64 cross-compiler. Each is judged by its package, so a minimal system
# gets everything on the first run; quiet and quick when everything is
# already there.
set -euo pipefail

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

install_missing() {
  local need=() package
  for package in "$@"; do
    installed "$package" || need+=("$package")
  done
  [ ${#need[@]} -gt 0 ] || return 0
  echo "setup: installing ${need[*]}" >&2
  $sudo apt-get update -qq >/dev/null
  $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
}

# Wine's 32-bit half comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
install_missing g++-mingw-w64-i686-posix wine wine32:i386 cmake make python3 googletest \
  locales clang libclang-rt-14-dev git

# Users run the 32-bit program on 64-bit Windows: the WoW64 tests run it in a
# 64-bit prefix, with Wine's 64-bit loader.
install_missing wine64

# Hosts whose kernel runs no 32-bit programs test the x86-64 build with
# Wine's 64-bit loader (scripts/common.sh).
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "setup: no 32-bit programs run here; the x86-64 build is tested instead" >&2
  install_missing g++-mingw-w64-x86-64-posix
fi

# The locale's character maps come with the locales package; the locale itself
# is made once.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  $sudo localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
