#!/usr/bin/env bash
# Installs what building and testing need on Debian 12: the 32-bit mingw-w64
# cross-compiler, 32-bit Wine, GoogleTest's sources, the zh_CN.UTF-8 locale
# (so Wine's ANSI and console code page is 936), and clang for the sanitizer
# and fuzzing checks. Quiet and quick when everything is already there.
# Where the host runs no 32-bit programs, also the x86-64 cross-compiler and
# Wine's 64-bit loader.
set -euo pipefail

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686)
command -v wine >/dev/null || need+=(wine)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
command -v cmake >/dev/null || need+=(cmake)
command -v python3 >/dev/null || need+=(python3)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v localedef >/dev/null || need+=(locales)
command -v clang++ >/dev/null || need+=(clang)
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
command -v make >/dev/null || need+=(make)

if [ ${#need[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "setup: installing ${need[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq >/dev/null
  $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Hosts whose kernel runs no 32-bit programs test the x86-64 build with
# Wine's 64-bit loader (scripts/common.sh).
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  need=()
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
  [ -x /usr/lib/wine/wine64 ] || need+=(wine64)
  if [ ${#need[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "setup: no 32-bit programs run here; installing ${need[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq >/dev/null
    $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
  fi
fi

if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
