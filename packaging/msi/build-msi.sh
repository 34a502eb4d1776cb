#!/usr/bin/env bash
# Builds Kelvra-<version>.msi from a folder holding the files it installs.
# Usage: build-msi.sh FOLDER VERSION MANUFACTURER OUTPUT.msi
set -euo pipefail
[ "$#" -eq 4 ] || { echo "usage: $0 FOLDER VERSION MANUFACTURER OUTPUT.msi" >&2; exit 2; }
folder="$1" version="$2" manufacturer="$3"
# Windows Installer compares only the first three fields: a version that
# differed in the fourth alone would install beside the older one.
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+(\.0)?$ ]] ||
  { echo "build-msi.sh: version $version: raise the first three fields and keep the fourth 0" >&2; exit 2; }
output="$(realpath -m "$4")"
source="$(cd "$(dirname "$0")" && pwd)/Kelvra.wxs"
# A new ProductCode for each version, the same one for every build of it: a
# rebuild installed again is the same product, not a second entry.
product_code="$(python3 -c 'import sys, uuid
print(str(uuid.uuid5(uuid.NAMESPACE_URL, "kelvra-msi/" + sys.argv[1])).upper())' "$version")"
rm -f "$output"
# wixl finds only sources relative to the folder it runs in.
cd "$folder"
wixl -a x86 -D Version="$version" -D ProductCode="$product_code" -D Manufacturer="$manufacturer" \
  -o "$output" "$source"
