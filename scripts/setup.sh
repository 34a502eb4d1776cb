#!/usr/bin/env bash
# Installs what building and testing Kelvra needs on a Debian machine, with
# apt-get, when it is missing. Safe to run again.
set -euo pipefail

packages=(
  cmake make python3
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64 fonts-wine
  xvfb xauth x11-utils imagemagick
  googletest
  clang libclang-rt-14-dev clang-format
  gcc-multilib g++-multilib
  ccache
  msitools wixl osslsigncode openssl
  postgresql unixodbc odbc-postgresql
)

sudo_prefix=()
[ "$(id -u)" -ne 0 ] && sudo_prefix=(sudo)

# The product is 32-bit: its tests run under Debian's 32-bit Wine, which
# needs the i386 architecture. A kernel that cannot run 32-bit code still
# takes the install; the test command checks that and falls back.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_prefix[@]}" dpkg --add-architecture i386
  "${sudo_prefix[@]}" apt-get update -qq
fi
packages+=(wine32:i386)
# The line's ledger: Wine's odbc32 hands its calls to the host's unixODBC, so
# the 32-bit programs need the 32-bit driver manager and PostgreSQL driver.
packages+=(libodbc2:i386 libodbcinst2:i386 odbc-postgresql:i386)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_prefix[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_prefix[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# On a machine used before, a package can be marked installed while a file of
# it has gone; the commands the build runs are checked one by one, and the
# package of a missing one is installed again.
declare -A providers=(
  [i686-w64-mingw32-g++-posix]=g++-mingw-w64-i686-posix
  [i686-w64-mingw32-gcc-posix]=gcc-mingw-w64-i686-posix
  [x86_64-w64-mingw32-g++-posix]=g++-mingw-w64-x86-64-posix
  [x86_64-w64-mingw32-gcc-posix]=gcc-mingw-w64-x86-64-posix
  [i686-w64-mingw32-ar]=binutils-mingw-w64-i686
  [i686-w64-mingw32-windres]=binutils-mingw-w64-i686
  [i686-w64-mingw32-objdump]=binutils-mingw-w64-i686
  [x86_64-w64-mingw32-ar]=binutils-mingw-w64-x86-64
  [x86_64-w64-mingw32-windres]=binutils-mingw-w64-x86-64
  [clang-format]=clang-format
  [ccache]=ccache
  [wixl]=wixl
  [msiinfo]=msitools
  [msibuild]=msitools
  [osslsigncode]=osslsigncode
  [openssl]=openssl
  [/usr/lib/wine/wine]=wine32:i386
  [/usr/lib/wine/wine64]=wine64
)
broken=()
for command in "${!providers[@]}"; do
  command -v "$command" >/dev/null 2>&1 || broken+=("${providers[$command]}")
done
if [ ${#broken[@]} -gt 0 ]; then
  mapfile -t broken < <(printf '%s\n' "${broken[@]}" | sort -u)
  echo "Installing again: ${broken[*]}"
  "${sudo_prefix[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_prefix[@]}" apt-get install --reinstall -y -qq --no-install-recommends "${broken[@]}" >/dev/null
fi
