#!/usr/bin/env bash
# Makes the sample images for the three chip families in FOLDER:
#   vt-a.hex  a VT-A identity built by kelvra-image (Wine's own HID device's ids)
#   vt-b.hex  256 bytes, vt-c.hex 2048 bytes: a counting pattern, so a verify
#             against anything else shows.
# Usage: make-sample-images.sh KELVRA_IMAGE_COMMAND... -- FOLDER
set -euo pipefail
tool=()
while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do tool+=("$1"); shift; done
[ "$#" -eq 2 ] || { echo "usage: $0 KELVRA_IMAGE_COMMAND... -- FOLDER" >&2; exit 2; }
folder="$2"
wine_run="$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run"
mkdir -p "$folder"
rm -f "$folder/vt-a.hex"
"${tool[@]}" build --vid 845e --pid 0001 --product "Kelvra Demo Pad" --manufacturer "Vantrel Sample Works" \
  --serial "KV-000001" -o "$("$wine_run" winepath -w "$folder/vt-a.hex" 2>/dev/null || echo "$folder/vt-a.hex")" >/dev/null
python3 - "$folder" <<'PY'
import sys
folder = sys.argv[1]
for name, size in (("vt-b.hex", 256), ("vt-c.hex", 2048)):
    with open(f"{folder}/{name}", "wb") as image:
        image.write(bytes((index * 7 + 3) & 0xFF for index in range(size)))
PY
