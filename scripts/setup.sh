#!/usr/bin/env bash
# Installs what building and testing Kelvra needs on a Debian machine, with
# apt-get, when it is missing. Safe to run again.
set -euo pipefail

packages=(
  cmake make python3
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64
  xvfb xauth x11-utils imagemagick
  googletest
  clang libclang-rt-14-dev clang-format
  gcc-multilib g++-multilib qemu-user-static
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_prefix=()
  [ "$(id -u)" -ne 0 ] && sudo_prefix=(sudo)
  "${sudo_prefix[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_prefix[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
