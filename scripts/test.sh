#!/usr/bin/env bash
# Sets up, builds and runs every test. The Wine suites run the 32-bit
# programs users get (preset windows-x86, the release build with its tests)
# under Debian's 32-bit Wine, with a private prefix and Xvfb; on a machine
# that cannot run 32-bit programs they run the 64-bit build of the same
# sources instead, and say so. Also: the release (ZIP and MSI), its check,
# a signed release verified, the MSI installed under Wine, the
# README's run command headless (screenshot in build/artefacts), the 64-bit
# build, the call thunk as a 32-bit Linux program, and the native image tool
# under the sanitizers with its fuzz targets. Each stage's time is printed at
# the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
# Paths below the root are hashed relative to it, so a clone elsewhere hits
# the same cache.
export CCACHE_BASEDIR="$root"
jobs=$(nproc)
stage_times=()
stage_started=0
begin_stage() {
  stage_name="$1"
  stage_started=$(date +%s)
  echo "== $stage_name"
}
end_stage() { stage_times+=("$(($(date +%s) - stage_started)) s  $stage_name"); }
print_stage_times() {
  echo "Stage times:"
  printf '  %s\n' "${stage_times[@]}"
}
trap print_stage_times EXIT

begin_stage "setup"
bash scripts/setup.sh
end_stage

begin_stage "format check"
# One code style, held by .clang-format: unformatted code fails the run.
bash scripts/format.sh --check
end_stage

# The native side runs beside the Wine suites: it needs the processors while
# they mostly wait on the chips' pacing. Its output is shown at the end.
native_log="$root/build/native-tests.log"
mkdir -p build
(
  set -e
  cmake --preset linux-sanitize >/dev/null
  cmake --build --preset linux-sanitize -j "$jobs"
  # The two fuzz targets side by side, each for the same time as before.
  ctest --preset linux-sanitize --timeout 600 -j 2
) >"$native_log" 2>&1 &
native_pid=$!

begin_stage "build windows-x86 (product and tests)"
samples="$root/build/samples"
cmake --preset windows-x86 -DKELVRA_SAMPLE_IMAGES_DIR="$samples" >/dev/null
cmake --build --preset windows-x86 -j "$jobs"
python3 tests/call-thunk/check-export-conventions.py build/windows-x86/emulated-drivers
end_stage

# Three Wine lanes: the suites that would meet on Wine's device run one at a
# time within a lane, and the lanes side by side.
export KELVRA_WINE_LANES=3
source scripts/wine-session.sh
trap 'end_wine_session; print_stage_times' EXIT
begin_wine_session

if can_run_32bit_programs; then
  suites=windows-x86
  echo "Test set: the 32-bit programs (windows-x86) under the 32-bit Wine."
else
  suites=windows-x64
  echo "Test set: THIS MACHINE CANNOT RUN 32-BIT PROGRAMS; running the 64-bit build (windows-x64) of the same sources instead."
fi

# The 64-bit build, warning-free with its static asserts, for a 64-bit vendor
# library one day. Where the 32-bit suites run, it is built beside them; where
# they cannot, its suites run instead, so it is built first.
build_x64() {
  cmake --preset windows-x64 >/dev/null
  cmake --build --preset windows-x64 -j "$jobs"
}
x64_log="$root/build/windows-x64-build.log"
x64_pid=""
if [ "$suites" = windows-x64 ]; then
  begin_stage "build windows-x64"
  build_x64
  end_stage
else
  build_x64 >"$x64_log" 2>&1 &
  x64_pid=$!
fi

begin_stage "Wine suites ($suites)"
ctest --preset "$suites" --timeout 900 -j "$KELVRA_WINE_LANES"
# The ledger's tests start a private PostgreSQL server; where it cannot start
# they are skipped, and that is said here on one line.
if [ -f "build/$suites/ledger-server.unavailable" ]; then
  echo "PostgreSQL could not start ($(cat "build/$suites/ledger-server.unavailable")): the ledger's database tests were skipped."
fi
end_stage

begin_stage "station screenshots"
# The station in each state, pictures kept with the test artefacts.
bash scripts/station-screenshots.sh build/"$suites"
end_stage

begin_stage "release: ZIP and MSI, and a signed one"
rm -rf "$samples"
bash tools/samples/make-sample-images.sh scripts/wine-run build/"$suites"/kelvra-image/kelvra-image.exe -- "$samples"
bash scripts/release.sh
bash tests/release/signing.sh
end_stage
end_wine_session

begin_stage "MSI under Wine: install, upgrade, uninstall"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows-x86/CMakeCache.txt)"
bash tests/release/msi-under-wine.sh "build/windows-x86/Kelvra-$version.msi" "build/windows-x86/Kelvra-$version-win32.zip"
end_stage

begin_stage "run command, headless"
# The README's run command: a write and verify of the sample image, and a
# screenshot of the dialog kept with the test artefacts.
KELVRA_HEADLESS=1 bash scripts/run.sh
mkdir -p build/artefacts
cp build/run/kelvra.png build/artefacts/kelvra-dialog.png
end_stage

begin_stage "call thunk, 32-bit Linux program"
if [ "$suites" = windows-x86 ]; then
  cmake -S tests/call-thunk -B build/call-thunk >/dev/null
  cmake --build build/call-thunk -j "$jobs"
  ctest --test-dir build/call-thunk --output-on-failure --timeout 120
else
  echo "Skipped: this machine cannot run 32-bit programs."
fi
end_stage

if [ -n "$x64_pid" ]; then
  begin_stage "build windows-x64 (waited for)"
  x64_status=0
  wait "$x64_pid" || x64_status=$?
  [ "$x64_status" -eq 0 ] || { tail -n 40 "$x64_log"; echo "The 64-bit build failed; the whole log: $x64_log"; exit 1; }
  end_stage
fi

begin_stage "native tests and fuzzing (waited for)"
native_status=0
wait "$native_pid" || native_status=$?
tail -n 40 "$native_log"
[ "$native_status" -eq 0 ] || { echo "The native tests failed; the whole log: $native_log"; exit 1; }
end_stage
