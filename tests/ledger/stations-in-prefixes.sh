#!/usr/bin/env bash
# Three station computers on one series, out of process: each a Wine prefix
# of its own with its own wineserver, Wine's HID device and an emulated chip,
# running kelvra-cli line at the same time on the fixture's PostgreSQL server.
# A prefix's device never leaves, so each unit is one run of the line: the
# chip's file is reset so it reads as a new unit, the line programs it, and
# is ended once its PASS is printed. Mid-batch, once three units passed, the
# server itself is restarted. The ledger must end with distinct serials, as
# many as passed, and every status adding up.
#   stations-in-prefixes.sh BUILD_DIR SERVER_DIR
set -uo pipefail
build="${1:?build folder}"
server="${2:?server folder}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
stations=3
units=3
if [ ! -s "$server/connection" ]; then
  echo "no PostgreSQL server: the fixture said why"
  exit 77
fi
: "${WINEPREFIX:?run inside the Wine session (scripts/test.sh)}"
work="$(mktemp -d)"
finish() {
  local station
  for station in $(seq 1 "$stations"); do
    WINEPREFIX="$work/prefix$station" timeout 20 wineserver -k >/dev/null 2>&1 || true
  done
  rm -rf "$work"
}
trap finish EXIT
connection="Driver={PostgreSQL Unicode};$(cat "$server/connection")"
series="prefixes-$$"
run() { "$root/scripts/wine-run" "$@"; }

mkdir -p "$work/station"
cp "$build/kelvra-cli/kelvra-cli.exe" "$build/kelvra-cli/kelvra-ledger.exe" \
  "$build/emulated-drivers/VT_HIDA.dll" "$work/station/"
python3 -c "
import sys
image = bytearray(128); image[0:2] = b'\x07\x67'
open(sys.argv[1], 'wb').write(bytes(image))" "$work/station/base.bin"
cd "$work/station"
run kelvra-ledger.exe init --ledger "$connection" >/dev/null || exit 1
run kelvra-ledger.exe add-series "$series" base.bin --family A --start P-0001 --count 100 --ledger "$connection" \
  >/dev/null || exit 1

# One unit on station $1: a new chip, the line until its PASS, then ended.
one_unit() {
  local station="$1" round="$2" out="$work/out$1-$2" line
  rm -f "$work/chips$station/VT_HIDA-845E0001.bin"
  : >"$out"
  WINEPREFIX="$work/prefix$station" KELVRA_EMULATOR_DIR="$(run winepath -w "$work/chips$station" 2>/dev/null)" \
    run "$work/station/kelvra-cli.exe" line "$work/station/base.bin" --series "$series" --station "bench-$station" \
    --device 845e:0001 --ledger "$connection" --quiet >"$out" 2>"$out.err" &
  line=$!
  for _ in $(seq 1 600); do
    grep -q '^PASS' "$out" && break
    kill -0 "$line" 2>/dev/null || break
    sleep 0.1
  done
  # Ended as a power cut would end it, once its PASS is committed and printed.
  WINEPREFIX="$work/prefix$station" timeout 30 wineserver -k >/dev/null 2>&1
  WINEPREFIX="$work/prefix$station" timeout 30 wineserver -w >/dev/null 2>&1
  wait "$line" 2>/dev/null
  grep '^PASS' "$out" || { echo "station $station, unit $round: no PASS"; cat "$out" "$out.err"; }
}

# Each prefix a copy of the session's, with its own wineserver.
for station in $(seq 1 "$stations"); do
  cp -a "$WINEPREFIX" "$work/prefix$station"
  mkdir -p "$work/chips$station"
done
# The server stopped and started again while lines run: they wait for it
# (a result is tried again for 20 s) or reconnect at their next unit.
restart_mid_batch() {
  local bin
  for _ in $(seq 1 1800); do
    [ "$(cat "$work"/out[0-9]* 2>/dev/null | grep -c '^PASS')" -ge 3 ] && break
    sleep 0.1
  done
  bin="$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)"
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$bin/pg_ctl" -D "$server/data" -l "$server/server.log" -m fast -w -t 60 restart
  else
    "$bin/pg_ctl" -D "$server/data" -l "$server/server.log" -m fast -w -t 60 restart
  fi >/dev/null 2>&1 && touch "$work/restarted"
}
restart_mid_batch &
for station in $(seq 1 "$stations"); do
  (for round in $(seq 1 "$units"); do one_unit "$station" "$round"; done) >"$work/station$station.log" 2>&1 &
done
wait
cat "$work"/station*.log
passed="$(cat "$work"/station*.log | grep -c '^PASS')"
distinct="$(cat "$work"/station*.log | grep '^PASS' | awk '{print $2}' | sort -u | wc -l)"
status="$(run "$work/station/kelvra-ledger.exe" status "$series" --json --ledger "$connection")"
echo "$status"
failures=0
expect() { [ "$1" = "$2" ] || { echo "FAIL: $3: $1, not $2"; failures=$((failures + 1)); }; }
expect "$([ -e "$work/restarted" ] && echo yes)" yes "the server restarted mid-batch"
expect "$passed" $((stations * units)) "units that passed"
expect "$distinct" "$passed" "distinct serials among them"
expect "$(echo "$status" | grep -o '"passed":[0-9]*,"failed":0,"void":0,"open":0' | head -n 1)" \
  "\"passed\":$passed,\"failed\":0,\"void\":0,\"open\":0" "the ledger's counts"
expect "$(echo "$status" | grep -o '"station":"bench-[0-9]"' | sort -u | wc -l)" "$stations" "stations in the ledger"
exit $((failures > 0))
