#!/usr/bin/env bash
# Sets up, builds and runs every test: the 64-bit Windows build under Wine
# with a private Xvfb, the 32-bit product build, and the native tools under
# the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 -j "$jobs"
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 -j "$jobs"

source scripts/wine-session.sh
trap end_wine_session EXIT
begin_wine_session
ctest --preset windows-x64 --timeout 600
end_wine_session

if [ -f tools/kelvra-image/CMakeLists.txt ]; then
  cmake --preset linux-sanitize >/dev/null
  cmake --build --preset linux-sanitize -j "$jobs"
  ctest --preset linux-sanitize --timeout 600
fi
