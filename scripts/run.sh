#!/usr/bin/env bash
# Sets up, builds and runs Kelvra under Wine on the emulated driver libraries
# and Wine's own HID device. With a display it opens Kelvra for use; without
# one it runs a scripted demo on a private Xvfb: VT-A sample image, Write
# (which also verifies), the message lines printed, a screenshot saved.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >&2

cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 -j "$(nproc)" --target Kelvra VT_HIDA VT_HIDB VT_HIDC kelvra-image kelvra-automation >/dev/null

source scripts/wine-session.sh
build="$KELVRA_ROOT/build/windows-x64"
work="$KELVRA_ROOT/build/run"
rm -rf "$work"
mkdir -p "$work/chips"
cp "$build/app/Kelvra.exe" "$build"/emulated-drivers/VT_HID?.dll "$work/"
printf '[KELVRA]\r\nVID=845e\r\nPID=0001\r\nAUTOVERIFY=1\r\n' > "$work/Kelvra.ini"
export KELVRA_EMULATOR_DIR="$(cd "$work/chips" && pwd)"

if [ -n "${DISPLAY:-}" ] && [ -z "${KELVRA_HEADLESS:-}" ]; then
  prepare_wine_prefix
  bash tools/samples/make-sample-images.sh wine "$build/tools/kelvra-image/kelvra-image.exe" -- "$work/samples"
  echo "Sample images: $work/samples (vt-a.hex, vt-b.hex, vt-c.hex)"
  cd "$work"
  exec wine Kelvra.exe
fi

trap end_wine_session EXIT
begin_wine_session
bash tools/samples/make-sample-images.sh wine "$build/tools/kelvra-image/kelvra-image.exe" -- "$work/samples"
automation() { wine "$build/tools/automation/kelvra-automation.exe" "$@"; }

cd "$work"
wine Kelvra.exe &
kelvra=$!
image="$(winepath -w "$work/samples/vt-a.hex" 2>/dev/null)"
automation wait-ready 60 family A browse "$image" write --auto-verify --timeout 60 >/dev/null
lines=$(automation messages | tr -d '\r')
echo "Message list:"
sed 's/^/  /; s/^  $/  (empty line)/' <<<"$lines"
screenshot="$work/kelvra.png"
import -window root -crop 405x372+0+0 +repage "$screenshot"
automation exit >/dev/null
for _ in $(seq 1 150); do kill -0 "$kelvra" 2>/dev/null || break; sleep 0.1; done
kill "$kelvra" 2>/dev/null || true
wait "$kelvra" 2>/dev/null || true

if grep -qx "Verify Success!" <<<"$lines"; then
  echo "Kelvra wrote and verified the VT-A sample image on the emulated chip. Screenshot: $screenshot"
else
  echo "Kelvra did not verify the VT-A sample image. Screenshot: $screenshot"
  exit 1
fi
