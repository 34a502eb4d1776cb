#!/usr/bin/env bash
# Sets up, builds and prints Kelvra's speed, start-up and size figures as one
# Markdown table. Figures only: nothing here passes or fails on a number.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >&2
jobs=$(nproc)
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 -j "$jobs" >/dev/null
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 -j "$jobs" --target Kelvra >/dev/null

source scripts/wine-session.sh
trap end_wine_session EXIT
begin_wine_session
build=build/windows-x64
echo "| Figure | Value | Goal |"
echo "|---|---|---|"
wine "$build/tools/bench/kelvra-bench.exe" "$(winepath -w "$build/app/Kelvra.exe")" \
  "$(winepath -w "$build/tools/bench/kelvra-bench-minimal.exe")" | tr -d '\r'
size() { stat -c %s "$1"; }
echo "| Kelvra.exe size, 32-bit product | $(size build/windows-x86/app/Kelvra.exe) bytes | |"
echo "| Kelvra.exe size, 64-bit test build | $(size "$build/app/Kelvra.exe") bytes | |"
