# Sourced by the run, test and bench scripts: a Wine prefix of the project's
# own and an Xvfb display of its own, both cleaned up on exit. Every wait is
# bounded.

KELVRA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEDEBUG=-all
export WINEPREFIX="${KELVRA_WINEPREFIX:-$KELVRA_ROOT/build/wineprefix}"
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine lanes the test suites run in side by side (scripts/wine-run): each
# with a prefix and an Xvfb display of its own, so that neither a device lock
# nor the keyboard focus is shared. Lane 1 is WINEPREFIX and DISPLAY.
KELVRA_WINE_LANES="${KELVRA_WINE_LANES:-1}"

kelvra_xvfb_pids=()

# Every Wine start picks its loader in scripts/wine-run.
kelvra_wine() { "$KELVRA_ROOT/scripts/wine-run" "$@"; }

# Whether this machine runs 32-bit Windows programs: the bench's tiny i686
# console program, built with windows-x86, is started once. Kernels without
# 32-bit support answer "Exec format error". Call it once the display is set:
# Wine's first program starts the desktop that all later ones draw on.
can_run_32bit_programs() {
  [ -x /usr/lib/wine/wine ] || return 1
  timeout 60 "$KELVRA_ROOT/scripts/wine-run" \
    "$KELVRA_ROOT/build/windows-x86/tools/bench/kelvra-bench-bare-console.exe" >/dev/null 2>&1
}

# Prints the build folder whose programs to run: windows-x86, already built,
# or where 32-bit programs cannot run, windows-x64, built now (the targets
# given, or all), and says so on stderr.
windows_build_to_run() {
  if can_run_32bit_programs; then
    echo "$KELVRA_ROOT/build/windows-x86"
    return 0
  fi
  echo "This machine cannot run 32-bit programs: using the 64-bit build of the same sources instead." >&2
  local targets=()
  [ "$#" -eq 0 ] || targets=(--target "$@")
  (cd "$KELVRA_ROOT" && cmake --preset windows-x64 >/dev/null &&
    cmake --build --preset windows-x64 -j "$(nproc)" "${targets[@]}" >/dev/null)
  echo "$KELVRA_ROOT/build/windows-x64"
}

# Starts Xvfb on a free display and exports its name in the variable named.
# Xvfb picks the display itself and writes its number once it takes
# connections, so two sessions started at once never share one.
start_private_display() {
  local variable="${1:-DISPLAY}" number_file pid
  number_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$number_file" >/dev/null 2>&1 &
  pid=$!
  kelvra_xvfb_pids+=("$pid")
  for _ in $(seq 1 100); do
    if [ -s "$number_file" ]; then
      export "$variable=:$(head -n 1 "$number_file")"
      rm -f "$number_file"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$number_file"
  echo "cannot start Xvfb" >&2
  return 1
}

# The display of a lane.
lane_display() {
  if [ "$1" = 1 ]; then echo "$DISPLAY"; else printenv "KELVRA_WINE_DISPLAY_$1"; fi
}

# The prefix of a lane.
lane_prefix() {
  if [ "$1" = 1 ]; then echo "$WINEPREFIX"; else echo "$WINEPREFIX-lane$1"; fi
}

# Ends Wine's processes in our prefixes and our Xvfb.
end_wine_session() {
  local lane
  for lane in $(seq 1 "$KELVRA_WINE_LANES"); do
    WINEPREFIX="$(lane_prefix "$lane")" timeout 20 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$(lane_prefix "$lane")" timeout 20 wineserver -w >/dev/null 2>&1 || true
  done
  local pid
  for pid in "${kelvra_xvfb_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  kelvra_xvfb_pids=()
}

# Creates the prefix on first use: a 64-bit prefix that, made once the 32-bit
# Wine is installed, runs 32-bit and 64-bit programs alike. A prefix made
# before that is made again. Without a window manager Wine would wait for one
# on every window it destroys, so windows are left unmanaged.
prepare_wine_prefix() {
  local loaders
  loaders="$(ls /usr/lib/wine 2>/dev/null | tr '\n' ' ')"
  mkdir -p "$(dirname "$WINEPREFIX")"
  if [ "$(cat "$WINEPREFIX/.kelvra-ready" 2>/dev/null)" != "$loaders" ]; then
    rm -rf "$WINEPREFIX"
    timeout 180 "$KELVRA_ROOT/scripts/wine-run" wineboot -i >/dev/null 2>&1 || true
    timeout 60 "$KELVRA_ROOT/scripts/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    timeout 60 wineserver -w >/dev/null 2>&1 || true
    echo "$loaders" > "$WINEPREFIX/.kelvra-ready"
  fi
  # Wine's own fonts, as Windows has them: without Marlett, caption buttons
  # show as letters ("r" for the close box), and Tahoma stands in for the
  # dialog font. The 32-bit Wine does not find them where Debian puts them.
  cp -u /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
}

# Sets up the display and every lane's prefix; the caller's EXIT trap should
# call end_wine_session.
begin_wine_session() {
  local lane
  start_private_display
  for lane in $(seq 1 "$KELVRA_WINE_LANES"); do
    [ "$lane" = 1 ] || start_private_display "KELVRA_WINE_DISPLAY_$lane"
    WINEPREFIX="$(lane_prefix "$lane")" DISPLAY="$(lane_display "$lane")" prepare_wine_prefix
  done
}
