#!/usr/bin/env bash
# Sets up, builds and runs every test: the 64-bit Windows build under Wine
# with a private Xvfb, the 32-bit product and its release package, the 32-bit
# call thunk under qemu, and the native image tool under the sanitizers with
# its fuzz targets; the run command headless, whose screenshot goes to
# build/artefacts.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# One code style, held by .clang-format: unformatted code fails the run.
bash scripts/format.sh --check

jobs=$(nproc)
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 -j "$jobs"

source scripts/wine-session.sh
trap end_wine_session EXIT
begin_wine_session
ctest --preset windows-x64 --timeout 900
# The station in each state, pictures kept with the test artefacts.
bash scripts/station-screenshots.sh build/windows-x64

# The release package, with sample images made by the 64-bit image tool.
samples="$KELVRA_ROOT/build/samples"
rm -rf "$samples"
bash tools/samples/make-sample-images.sh wine build/windows-x64/tools/kelvra-image/kelvra-image.exe -- "$samples"
end_wine_session

# The README's run command, headless: a write and verify of the sample image,
# and a screenshot of the dialog kept with the test artefacts.
KELVRA_HEADLESS=1 bash scripts/run.sh
mkdir -p build/artefacts
cp build/run/kelvra.png build/artefacts/kelvra-dialog.png

cmake --preset windows-x86 -DKELVRA_SAMPLE_IMAGES_DIR="$samples" >/dev/null
cmake --build --preset windows-x86 -j "$jobs"
python3 tests/call-thunk/check-export-conventions.py build/windows-x86/emulated-drivers
(cd build/windows-x86 && rm -f Kelvra-*.zip && cpack -C MinSizeRel >/dev/null)
python3 scripts/check-release.py build/windows-x86/Kelvra-*-win32.zip

# The 32-bit call thunk in a static i386 Linux program, run under qemu-i386-static.
cmake -S tests/call-thunk -B build/call-thunk >/dev/null
cmake --build build/call-thunk -j "$jobs"
ctest --test-dir build/call-thunk --output-on-failure --timeout 120

cmake --preset linux-sanitize >/dev/null
cmake --build --preset linux-sanitize -j "$jobs"
ctest --preset linux-sanitize --timeout 600
