#!/usr/bin/env bash
# Sets up, builds and prints Kelvra's speed, start-up and size figures as one
# Markdown table. Figures only: nothing here passes or fails on a number.
# Timings are min / median / max over several runs of the same run of this
# script; a ratio compares figures measured in that same run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >&2
export CCACHE_BASEDIR="$PWD"
jobs=$(nproc)
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 -j "$jobs" >/dev/null

source scripts/wine-session.sh
# The shared ledger's figures on a private PostgreSQL server of this run.
ledger_server="$PWD/build/bench-ledger-server"
trap 'end_wine_session; bash scripts/ledger-server.sh stop "$ledger_server"' EXIT
begin_wine_session
bash scripts/ledger-server.sh start "$ledger_server" >&2
if [ -s "$ledger_server/connection" ]; then
  export KELVRA_BENCH_LEDGER="Driver={PostgreSQL Unicode};$(cat "$ledger_server/connection")"
fi
# The programs users get: the 32-bit build, where this machine runs it.
build="$(windows_build_to_run)"
windows_path() { kelvra_wine winepath -w "$1" 2>/dev/null; }
echo "| Figure | Value | Goal |"
echo "|---|---|---|"
kelvra_wine "$build/tools/bench/kelvra-bench.exe" "$(windows_path "$build/app/Kelvra.exe")" \
  "$(windows_path "$build/tools/bench/kelvra-bench-bare-dialog.exe")" \
  "$(windows_path "$build/kelvra-cli/kelvra-cli.exe")" \
  "$(windows_path "$build/tools/bench/kelvra-bench-bare-console.exe")" \
  "$(windows_path "$build/station/KelvraStation.exe")" | tr -d '\r'

# What a user downloads: the stripped 32-bit product.
product=build/windows-x86
size() { echo "$(stat -c %s "$1") bytes"; }
echo "| Kelvra.exe, 32-bit product, stripped | $(size $product/app/Kelvra.exe) | at most 250 KB |"
echo "| KelvraStation.exe, 32-bit product, stripped | $(size $product/station/KelvraStation.exe) | at most 290 KB |"
echo "| kelvra-cli.exe, 32-bit, stripped | $(size $product/kelvra-cli/kelvra-cli.exe) | at most 340 KB |"
echo "| kelvra-ledger.exe, 32-bit, stripped | $(size $product/kelvra-cli/kelvra-ledger.exe) | |"
echo "| kelvra-image.exe, 32-bit, stripped | $(size $product/kelvra-image/kelvra-image.exe) | at most 300 KB |"
for library in VT_HIDA VT_HIDB VT_HIDC; do
  echo "| Emulated $library.dll, 32-bit, stripped | $(size $product/emulated-drivers/$library.dll) | |"
done
# The release, as scripts/release.sh last built it.
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' $product/CMakeCache.txt)"
for release in "Kelvra-$version-win32.zip" "Kelvra-$version.msi"; do
  [ ! -f "$product/$release" ] || echo "| $release | $(size "$product/$release") | |"
done
