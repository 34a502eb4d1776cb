#!/usr/bin/env bash
# Builds the release from the windows-x86 build: Kelvra-<version>-win32.zip,
# the portable form with the emulated libraries to try it, and
# Kelvra-<version>.msi, which installs the programs without them. Both carry
# the same programs, signed first when a certificate is given:
#   KELVRA_SIGN_PKCS12         a PKCS#12 file with the code-signing key
#   KELVRA_SIGN_PASSWORD_FILE  a file holding its password
#   KELVRA_SIGN_TIMESTAMP_URL  an RFC 3161 timestamp authority (optional)
# Usage: release.sh [OUTPUT_FOLDER]   (build/windows-x86 when not given)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="$root/build/windows-x86"
output="$(realpath -m "${1:-$build}")"

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt" 2>/dev/null; }
version="$(cache_value CMAKE_PROJECT_VERSION)"
[ -n "$version" ] || { echo "release: build the windows-x86 preset first (cmake --preset windows-x86)" >&2; exit 1; }
export CCACHE_BASEDIR="$root"
cmake --build --preset windows-x86 -j "$(nproc)" --target Kelvra KelvraStation kelvra-cli kelvra-ledger kelvra-image \
  VT_HIDA VT_HIDB VT_HIDC VT_HIDA_stdcall VT_HIDB_stdcall VT_HIDC_stdcall >/dev/null

name="Kelvra-$version-win32"
mkdir -p "$output"
zip="$output/$name.zip"
msi="$output/Kelvra-$version.msi"
stage="$(mktemp -d "$root/build/release-stage.XXXXXX")"
files="$stage/$name"
# A failed run leaves no release behind, neither half made nor an earlier one
# to be taken for it.
rm -f "$zip" "$msi"
trap 'status=$?; rm -rf "$stage"; [ "$status" -eq 0 ] || rm -f "$zip" "$msi"' EXIT
cmake --install "$build" --prefix "$files" >/dev/null
programs=(Kelvra.exe KelvraStation.exe kelvra-cli.exe kelvra-ledger.exe kelvra-image.exe)

sign() {
  local options=(sign -pkcs12 "$KELVRA_SIGN_PKCS12" -h sha256 -n Kelvra)
  [ -z "${KELVRA_SIGN_PASSWORD_FILE:-}" ] || options+=(-readpass "$KELVRA_SIGN_PASSWORD_FILE")
  [ -z "${KELVRA_SIGN_TIMESTAMP_URL:-}" ] || options+=(-ts "$KELVRA_SIGN_TIMESTAMP_URL")
  rm -f "$1.signed"
  osslsigncode "${options[@]}" -in "$1" -out "$1.signed" >/dev/null ||
    { echo "release: signing $(basename "$1") failed" >&2; return 1; }
  mv "$1.signed" "$1"
}

signing=""
if [ -n "${KELVRA_SIGN_PKCS12:-}" ]; then
  signing=1
  for program in "${programs[@]}"; do sign "$files/$program"; done
else
  echo "Release: UNSIGNED (set KELVRA_SIGN_PKCS12 to sign the programs and the MSI)"
fi

(cd "$stage" && cmake -E tar cf "$zip" --format=zip "$name")

bash packaging/msi/build-msi.sh "$files" "$version" "$(cache_value KELVRA_COMPANY)" "$msi"
[ -z "$signing" ] || sign "$msi"

python3 scripts/check-release.py --version "$version" "$zip" "$msi"
