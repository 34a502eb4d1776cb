#!/usr/bin/env bash
# Sets up, builds and runs Kelvra under Wine on the emulated driver libraries
# and Wine's own HID device: the 32-bit Kelvra.exe users get, laid out as in
# the release package, with the emulated libraries on PATH as
# try-kelvra.cmd puts them, never beside the program. With a display it opens
# Kelvra for use; without one it runs a scripted demo on a private Xvfb: VT-A
# sample image, Write (which also verifies), the message lines printed, a
# screenshot saved. A machine that cannot run 32-bit programs gets the 64-bit
# build, and is told so.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >&2
export CCACHE_BASEDIR="$PWD"

programs=(Kelvra VT_HIDA VT_HIDB VT_HIDC kelvra-image kelvra-automation kelvra-bench-bare-console)
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 -j "$(nproc)" --target "${programs[@]}" >/dev/null

source scripts/wine-session.sh
headless=""
[ -n "${DISPLAY:-}" ] && [ -z "${KELVRA_HEADLESS:-}" ] || headless=1
if [ -n "$headless" ]; then
  trap end_wine_session EXIT
  begin_wine_session
else
  prepare_wine_prefix
fi
build="$(windows_build_to_run "${programs[@]}")"

# The release layout: the program and its settings, the emulated libraries in
# a folder of their own, the samples; the chips' state in a folder beside.
work="$KELVRA_ROOT/build/run"
program="$work/Kelvra"
rm -rf "$work"
mkdir -p "$program/emulated-drivers" "$work/chips"
cp "$build/app/Kelvra.exe" packaging/Kelvra.ini "$program/"
cp "$build"/emulated-drivers/VT_HID?.dll packaging/emulated-drivers/try-kelvra.cmd "$program/emulated-drivers/"
export KELVRA_EMULATOR_DIR="$(cd "$work/chips" && pwd)"
# The emulated libraries on PATH: Wine puts WINEPATH before the PATH its
# programs get. Called once the prefix exists.
put_emulated_drivers_on_path() {
  WINEPATH="$(kelvra_wine winepath -w "$program/emulated-drivers" 2>/dev/null)"
  export WINEPATH
}
make_samples() {
  bash tools/samples/make-sample-images.sh "$KELVRA_ROOT/scripts/wine-run" "$build/kelvra-image/kelvra-image.exe" \
    -- "$program/samples"
}

put_emulated_drivers_on_path
make_samples
if [ -z "$headless" ]; then
  echo "Sample images: $program/samples (vt-a.hex, vt-b.hex, vt-c.hex)"
  cd "$program"
  exec "$KELVRA_ROOT/scripts/wine-run" Kelvra.exe
fi

automation() { kelvra_wine "$build/tools/automation/kelvra-automation.exe" "$@"; }

cd "$program"
kelvra_wine Kelvra.exe &
kelvra=$!
image="$(kelvra_wine winepath -w "$program/samples/vt-a.hex" 2>/dev/null)"
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
