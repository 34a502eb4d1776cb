#!/usr/bin/env bash
# Installs the release MSI as IT deploys it (msiexec /qn) under Wine, in a
# fresh prefix of its own, and checks what a bench PC gets: the files, the
# shortcuts and the Uninstall key; where 32-bit programs run, a scripted write
# and verify by the installed Kelvra started from its shortcut's folder. Then
# a newer MSI over it (one entry, the newer files, the engineer's edited
# Kelvra.ini kept), the older one refused over that, and the uninstall, which
# leaves only what a person made.
# Usage: msi-under-wine.sh RELEASE.msi RELEASE.zip
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
msi="$(realpath "$1")"
zip="$(realpath "$2")"
version="$(basename "$msi" .msi)"
version="${version#Kelvra-}"
# Windows Installer compares the first three fields.
IFS=. read -r major minor build _ <<<"$version"
newer_version="$major.$minor.$((build + 1)).0"

work="$(mktemp -d "$root/build/msi-test.XXXXXX")"
unset KELVRA_WINE_LANE
export KELVRA_WINEPREFIX="$work/prefix" KELVRA_WINE_LANES=1
source "$root/scripts/wine-session.sh"
# Installed shortcuts would otherwise become menu entries of this Linux user.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
trap 'end_wine_session; rm -rf "$work"' EXIT
begin_wine_session

failures=0
fail() {
  echo "MSI under Wine: $*" >&2
  failures=$((failures + 1))
}
wine_run() { (cd "$work" && timeout 300 "$root/scripts/wine-run" "$@"); }
unix_path() { wine_run winepath -u "$1" 2>/dev/null | tr -d '\r'; }
# msiexec's exit status, as the shell gets it: modulo 256 (1603 arrives as 67).
msiexec_status() {
  local status=0
  wine_run msiexec "$@" >/dev/null 2>&1 || status=$?
  echo "$status"
}
expect_status() {
  local wanted="$1" what="$2" status
  shift 2
  status="$(msiexec_status "$@")"
  echo "  msiexec $1 ...: status $status"
  [ "$status" -eq $((wanted % 256)) ] || fail "$what ended with status $status, not $wanted (modulo 256: $((wanted % 256)))"
}
log_property() { tr -d '\r' <"$1" | sed -n "s/^Property(S): $2 = //p" | tail -n 1; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }
# Programs and Features lists both registry views; Wine's installer writes a
# 32-bit package's entry in the 32-bit one.
uninstall_keys=('HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
  'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall')
# The Programs and Features entries named Kelvra: the key, then the version.
installed_entries() {
  local key
  for key in "${uninstall_keys[@]}"; do
    wine_run reg query "$key" /s 2>/dev/null | tr -d '\r' |
      awk '/^HKEY/ { key = $0; name = ""; version = "" } $1 == "DisplayName" { name = $3 }
           $1 == "DisplayVersion" { version = $3 } /^$/ && name == "Kelvra" { print key " " version; name = "" }
           END { if (name == "Kelvra") print key " " version }'
  done
}
installed_versions() { installed_entries | awk '{ print $NF }'; }

# The release's files, and a newer release of them, each changed: the README
# and the starting Kelvra.ini by a line, each program by a byte after its end,
# where Windows reads nothing.
mkdir -p "$work/release" "$work/newer"
(cd "$work/release" && cmake -E tar xf "$zip")
files="$(echo "$work"/release/Kelvra-*-win32)"
cp -r "$files" "$work/newer/files"
echo "A newer build for the upgrade test: $newer_version" >>"$work/newer/files/README-Windows.txt"
printf '; the starting file of %s\n' "$newer_version" >>"$work/newer/files/Kelvra.ini"
for program in Kelvra.exe KelvraStation.exe kelvra-cli.exe kelvra-ledger.exe kelvra-image.exe; do
  printf '\0' >>"$work/newer/files/$program"
done
newer_msi="$work/Kelvra-$newer_version.msi"
bash "$root/packaging/msi/build-msi.sh" "$work/newer/files" "$newer_version" Kelvra "$newer_msi"
[ "$(product_code "$msi")" != "$(product_code "$newer_msi")" ] || fail "both versions have one ProductCode"
installed_files=(Kelvra.exe KelvraStation.exe kelvra-cli.exe kelvra-ledger.exe kelvra-image.exe README-Windows.txt Kelvra.ini)

# Every file installed as packed (Kelvra.ini as given, when given), and nothing else.
check_installed_files() {
  local from="$1" folder="$2" settings="${3:-$1/Kelvra.ini}" name
  for name in "${installed_files[@]}"; do
    [ "$name" != Kelvra.ini ] || continue
    cmp -s "$from/$name" "$folder/$name" || fail "$name is not installed as packed in $from"
  done
  cmp -s "$settings" "$folder/Kelvra.ini" || fail "Kelvra.ini is not $settings: $(tr '\r\n' ' |' <"$folder/Kelvra.ini")"
  [ "$(ls "$folder" | sort)" = "$(printf '%s\n' "${installed_files[@]}" | sort)" ] ||
    fail "the installed folder holds $(ls "$folder" | tr '\n' ' ')"
}

# A scripted write and verify of the VT-A sample by the installed Kelvra,
# started from its shortcut's folder with the emulated libraries on PATH.
write_and_verify_installed() {
  local program="$1" folder="$2" build="$root/build/windows-x86" kelvra lines
  export WINEPATH KELVRA_EMULATOR_DIR="$work/chips"
  mkdir -p "$KELVRA_EMULATOR_DIR"
  WINEPATH="$(wine_run winepath -w "$build/emulated-drivers" 2>/dev/null | tr -d '\r')"
  (cd "$folder" && exec "$root/scripts/wine-run" "$program") &
  kelvra=$!
  "$root/scripts/wine-run" "$build/tools/automation/kelvra-automation.exe" wait-ready 60 family A \
    browse "$(wine_run winepath -w "$files/samples/vt-a.hex" 2>/dev/null | tr -d '\r')" write --auto-verify --timeout 60 >/dev/null ||
    fail "the installed Kelvra could not be driven"
  lines="$("$root/scripts/wine-run" "$build/tools/automation/kelvra-automation.exe" messages | tr -d '\r' || true)"
  "$root/scripts/wine-run" "$build/tools/automation/kelvra-automation.exe" exit >/dev/null || true
  for _ in $(seq 1 150); do kill -0 "$kelvra" 2>/dev/null || break; sleep 0.1; done
  kill "$kelvra" 2>/dev/null || true
  wait "$kelvra" 2>/dev/null || true
  # "Verify Success!" after a write comes only from AUTOVERIFY=1 of the installed Kelvra.ini.
  if grep -qx "Verify Success!" <<<"$lines"; then
    echo "  The installed Kelvra, started in its shortcut's folder: $(tr '\n' '|' <<<"$lines")"
  else
    fail "the installed Kelvra did not write and verify: $lines"
  fi
}

echo "Install $version: msiexec /i $(basename "$msi") /qn"
expect_status 0 "the install" /i "$msi" /qn /l*v "$work/install.log"
program_folder="$(unix_path "$(log_property "$work/install.log" INSTALLDIR)")"
menu_folder="$(unix_path "$(log_property "$work/install.log" KelvraMenu)")"
[ "$(log_property "$work/install.log" ALLUSERS)" = 1 ] || fail "not installed per machine"
case "$program_folder" in */"Program Files (x86)/Kelvra/") ;; *) fail "installed in $program_folder" ;; esac
check_installed_files "$files" "$program_folder"
entries="$(installed_entries)"
[ "${entries##*\\}" = "$(product_code "$msi") $version" ] || fail "the Uninstall entries are: $entries"
echo "  Programs and Features: $entries"
for shortcut in "Kelvra:Kelvra.exe" "Kelvra Station:KelvraStation.exe"; do
  link="$menu_folder/${shortcut%%:*}.lnk"
  if [ ! -f "$link" ]; then
    fail "no shortcut $link"
    continue
  fi
  mapfile -t started < <(python3 "$root/tests/release/read-shortcut.py" "$link")
  [ "$(unix_path "${started[0]}")" = "$program_folder${shortcut#*:}" ] || fail "$link starts ${started[0]}"
  # Kelvra reads Kelvra.ini from the folder it starts in.
  [ -f "$(unix_path "${started[1]}")/Kelvra.ini" ] || fail "$link starts in ${started[1]}, which has no Kelvra.ini"
done
echo "  Installed: $(ls "$program_folder" | tr '\n' ' '); shortcuts: $(ls "$menu_folder" | tr '\n' ' ')"

if can_run_32bit_programs; then
  mapfile -t started < <(python3 "$root/tests/release/read-shortcut.py" "$menu_folder/Kelvra.lnk")
  write_and_verify_installed "$(unix_path "${started[0]}")" "$(unix_path "${started[1]}")"
else
  echo "This machine cannot run 32-bit programs: the installed Kelvra is not started."
fi

echo "Upgrade to $newer_version, after an engineer's edit of Kelvra.ini"
sed -i 's/^PID=0001/PID=0002/' "$program_folder/Kelvra.ini"
cp "$program_folder/Kelvra.ini" "$work/edited.ini"
cmp -s "$work/edited.ini" "$files/Kelvra.ini" && fail "the edit did not change Kelvra.ini"
expect_status 0 "the upgrade" /i "$newer_msi" /qn /l*v "$work/upgrade.log"
[ "$(installed_versions)" = "$newer_version" ] || fail "after the upgrade, the Kelvra entries are: $(installed_versions | tr '\n' ' ')"
check_installed_files "$work/newer/files" "$program_folder" "$work/edited.ini"
echo "  Kelvra.ini after the upgrade: $(grep -a '^PID=' "$program_folder/Kelvra.ini" | tr -d '\r')"
echo "  Programs and Features: $(installed_entries)"

echo "Downgrade to $version, refused"
expect_status 1603 "the downgrade" /i "$msi" /qn /l*v "$work/downgrade.log"
[ "$(installed_versions)" = "$newer_version" ] || fail "after the downgrade, the Kelvra entries are: $(installed_versions | tr '\n' ' ')"

# The edited Kelvra.ini is the installed file: it goes with the rest (README).
echo "Uninstall, with a log a person made in the program's folder and the edited Kelvra.ini"
echo "serial,result" >"$program_folder/line.csv"
expect_status 0 "the uninstall" /x "$newer_msi" /qn /l*v "$work/uninstall.log"
[ "$(ls "$program_folder" 2>/dev/null)" = line.csv ] || fail "after the uninstall, the program's folder holds: $(ls "$program_folder" | tr '\n' ' ')"
[ ! -e "$menu_folder" ] || fail "the Start-menu folder is left: $(ls "$menu_folder" | tr '\n' ' ')"
[ -z "$(installed_versions)" ] || fail "an Uninstall entry is left: $(installed_versions | tr '\n' ' ')"
# No registry key or value of ours: by name, by ProductCode and UpgradeCode,
# as written and as Windows Installer packs them.
traces="$(python3 - "$(product_code "$msi")" "$(product_code "$newer_msi")" \
  "$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^UpgradeCode\t//p')" <<'PY'
import sys
for code in sys.argv[1:]:
    digits = code.strip("{}").replace("-", "")
    packed = digits[7::-1] + digits[11:7:-1] + digits[15:11:-1] + "".join(
        digits[index + 1] + digits[index] for index in range(16, 32, 2))
    print(code.strip("{}"))
    print(packed)
print("kelvra")
PY
)"
for hive in HKLM HKCU; do
  wine_run reg export "$hive\\Software" "$(wine_run winepath -w "$work/$hive.reg" 2>/dev/null | tr -d '\r')" /y >/dev/null 2>&1 ||
    fail "cannot export $hive"
  left="$(iconv -f UTF-16LE -t UTF-8 "$work/$hive.reg" | tr -d '\r' | grep -i -F -f <(echo "$traces") || true)"
  [ -z "$left" ] || fail "left in $hive after the uninstall: $left"
done

[ "$failures" -eq 0 ] || exit 1
echo "MSI under Wine: installed, upgraded to $newer_version, downgrade refused, uninstalled leaving only line.csv"
