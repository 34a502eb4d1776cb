#!/usr/bin/env bash
# Sets up, builds and runs Kelvra under Wine. With a display it opens the
# dialog for use; without one it starts Kelvra on a private Xvfb, saves a
# screenshot of the dialog and closes it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 -j "$(nproc)" --target Kelvra

source scripts/wine-session.sh
work="$KELVRA_ROOT/build/run"
mkdir -p "$work"
cp build/windows-x64/app/Kelvra.exe "$work/"
[ -f "$work/Kelvra.ini" ] || printf '[KELVRA]\r\nVID=845e\r\nPID=0001\r\nAUTOVERIFY=1\r\n' > "$work/Kelvra.ini"
cd "$work"

if [ -n "${DISPLAY:-}" ] && [ -z "${KELVRA_HEADLESS:-}" ]; then
  prepare_wine_prefix
  exec wine Kelvra.exe
fi

trap end_wine_session EXIT
begin_wine_session
wine Kelvra.exe &
kelvra=$!
window=""
for _ in $(seq 1 200); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"Kelvra"/ {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "Kelvra's window did not appear" >&2
  exit 1
fi
sleep 1
screenshot="$work/kelvra.png"
import -window root -crop 460x420+0+0 "$screenshot" 2>/dev/null || import -window root "$screenshot"
# Close it as a user would: Escape in the dialog.
timeout 20 wine cmd /c exit >/dev/null 2>&1 || true
kill -TERM "$kelvra" 2>/dev/null || true
wait "$kelvra" 2>/dev/null || true
echo "Screenshot: $screenshot"
