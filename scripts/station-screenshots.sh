#!/usr/bin/env bash
# Runs the station's end-to-end tests with a folder in which each state worth
# a picture waits, takes each picture of the station's window on the Wine
# session's Xvfb with ImageMagick, and keeps it as build/artefacts/station-<state>.png.
# Needs a begun Wine session (scripts/wine-session.sh) and the build folder
# given, e.g. build/windows-x86.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$1"
artefacts=build/artefacts
shots="$(mktemp -d)"
mkdir -p "$artefacts"
# The station on a shared ledger needs the private PostgreSQL server its test reads.
bash scripts/ledger-server.sh start "$build/ledger-server"
trap 'bash scripts/ledger-server.sh stop "$build/ledger-server"' EXIT
KELVRA_STATION_SCREENSHOTS="$(scripts/wine-run winepath -w "$shots" 2>/dev/null)"
export KELVRA_STATION_SCREENSHOTS
scripts/wine-run "$build/tests/end-to-end/kelvra_end_to_end_tests.exe" --gtest_filter='StationTest.*' \
  --gtest_color=no >"$shots/tests.log" 2>&1 &
tests=$!
# The tests wait at most 30 s for each picture, and end within minutes.
for _ in $(seq 1 6000); do
  for marker in "$shots"/*.ready; do
    [ -e "$marker" ] || continue
    state="$(basename "$marker" .ready)"
    import -window root -crop "$(tr -d '\r\n' <"$marker")" +repage "$artefacts/station-$state.png"
    rm -f "$marker"
  done
  kill -0 "$tests" 2>/dev/null || break
  sleep 0.1
done
status=0
wait "$tests" || status=$?
tail -n 3 "$shots/tests.log"
rm -rf "$shots"
ls "$artefacts"/station-*.png
exit "$status"
