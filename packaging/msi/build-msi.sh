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
# wixl drops Schedule and NeverOverwrite, and leaves the programs without a
# version, so these are set here in the tables.
# wixl removes the older Kelvra before installing, and its Kelvra.ini with it:
# the engineer's edits would be lost. So the older one is removed after the
# files are installed (InstallExecute first, so a failed removal rolls the
# upgrade back), when the Kelvra.ini component, the same GUID in both, also
# belongs to the newer one and stays; and the newer one never overwrites an
# existing Kelvra.ini. Removed before the newer one registers itself: Wine's
# installer drops the whole UpgradeCode registration with the older product.
msibuild "$output" -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('InstallExecute', 5900)" \
  -q "UPDATE InstallExecuteSequence SET Sequence = 5910 WHERE Action = 'RemoveExistingProducts'" \
  -q "UPDATE Component SET Attributes = 128 WHERE Component = 'Kelvra.ini'"
# Installed over the older ones, the programs are replaced by version, as their
# version information says. Unversioned, one whose modified date is later than
# its creation date (a time zone away from the build's can do it) would be kept,
# as Windows Installer keeps a file a person edited.
for program in Kelvra.exe KelvraStation.exe kelvra-cli.exe kelvra-ledger.exe kelvra-image.exe; do
  msibuild "$output" -q "UPDATE File SET Version = '$version', Language = '1033' WHERE FileName = '$program'" \
    -q "DELETE FROM MsiFileHash WHERE File_ = '${program//-/_}'"
done
