#!/bin/bash
# Builds the Windows installer from the build folder and installs it
# silently under Wine, in a prefix of the test's own where nothing of the
# build is on any path. The installed programs must run from the install
# folder alone: tessarin.exe reports every module and sends a file through
# each cipher module and back; aes.exe, started from its Start menu entry,
# shows its window and closes when asked. The silent uninstall must then
# leave no file of the program in the install folder or the Start menu.
#   installer-test.sh BUILD-DIR CPACK VERSION WINE-RUN OBJDUMP WITH-GUI(0|1)
set -u
build=$1 cpack=$2 version=$3 wine_run=$4 objdump=$5 with_gui=$6

fail=0
problem() { echo "FAIL: $*"; fail=1; }
die() { echo "FAIL: $*"; exit 1; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tessarin-installer.XXXXXX") || die "no scratch folder"
prefix=$scratch/prefix
xvfb=""
# The prefix's Wine server and every program in it end with the test, and
# so does the test's X server.
cleanup() {
  "$wine_run" "$prefix" --stop
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
wine() { "$wine_run" "$prefix" "$@"; }
seconds() { date +%s%N; }
# Waits up to 30 s for a condition.
wait_for() {
  local tries=0
  until "$@"; do
    tries=$((tries + 1))
    [ $tries -le 300 ] || return 1
    sleep 0.1
  done
}
elapsed() {
  local ms=$((($(seconds) - $1) / 1000000))
  printf '%d.%d s' $((ms / 1000)) $((ms % 1000 / 100))
}

# --- the installer ------------------------------------------------------------
started=$(seconds)
"$cpack" -G NSIS --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; die "cpack failed"; }
setup=$scratch/pkg/tessarin-$version-setup.exe
[ -f "$setup" ] || { ls "$scratch/pkg"; die "no tessarin-$version-setup.exe"; }
"$objdump" -f "$setup" | grep -q 'file format pei-x86-64' || problem "the installer is not a 64-bit program"
echo "installer built in $(elapsed "$started")"

started=$(seconds)
wine --start
echo "test prefix made in $(elapsed "$started")"

# --- silent installation --------------------------------------------------------
drive=$prefix/drive_c
folder="$drive/Program Files/Tessarin"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessarin"
installed='C:\Program Files\Tessarin'
started=$(seconds)
wine "Z:${setup//\//\\}" /S || problem "the installer ended with $?"
echo "silent installation took $(elapsed "$started")"

wanted="aes16.dll aes24.dll aes32.dll bzip2.dll copyright.txt engine.dll libwinpthread-1.dll
tessarin.exe Uninstall.exe zlib1.dll"
wanted_links="Uninstall.lnk"
if [ "$with_gui" = 1 ]; then
  wanted="$wanted aes.exe"
  wanted_links="$wanted_links Tessarin.lnk"
fi
sorted() { printf '%s\n' $1 | sort; }
listing() { (cd "$1" 2>/dev/null && find . -mindepth 1 | sed 's|^\./||' | sort); }
[ "$(listing "$folder")" = "$(sorted "$wanted")" ] ||
  problem "the install folder holds
$(listing "$folder")
instead of
$(sorted "$wanted")"
[ "$(listing "$menu")" = "$(sorted "$wanted_links")" ] ||
  problem "the Start menu folder holds '$(listing "$menu")' instead of '$(sorted "$wanted_links")'"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarin' /v DisplayVersion 2>/dev/null |
  grep -q "REG_SZ *$version" || problem "no uninstall entry of version $version in the registry"

# Every DLL an installed program or module imports is either installed
# beside it or one of the system's own.
for file in "$folder"/*.exe "$folder"/*.dll; do
  for dll in $("$objdump" -p "$file" | awk '/DLL Name:/ { print $3 }'); do
    [ -n "$(find "$folder" "$drive/windows/system32" -maxdepth 1 -iname "$dll" -print -quit)" ] ||
      problem "${file##*/} imports $dll, which is neither installed nor part of the system"
  done
done

# --- tessarin.exe from the install folder ---------------------------------------
tessarin="$installed\\tessarin.exe"
report=$(wine "$tessarin" --version 2>&1) || problem "tessarin.exe --version failed: $report"
for module in engine.dll aes16.dll aes24.dll aes32.dll; do
  grep -q "^$module $version" <<<"$report" || problem "--version does not report $module at $version: $report"
done
for module in zlib1.dll bzip2.dll; do
  grep -q "^$module [0-9]" <<<"$report" || problem "--version does not report $module: $report"
done

winpath() { printf 'Z:%s' "${1//\//\\}"; }
printf 'installer test password\n' >"$scratch/password"
head -c 150000 /dev/urandom >"$scratch/original"
seq 1 20000 >>"$scratch/original"
round_trip() {
  local name=$1 data=$scratch/data-$1
  shift
  local options=(--defaults --password-file "$(winpath "$scratch/password")" --no-log -q "$@")
  mkdir "$data"
  cp "$scratch/original" "$data/sample.bin"
  wine "$tessarin" -e "${options[@]}" "$(winpath "$data/sample.bin")" >"$scratch/out" 2>&1 ||
    { cat "$scratch/out"; problem "$name: encrypting ended with $?"; return; }
  local outputs=("$data"/*)
  [ ${#outputs[@]} -eq 1 ] && [ "${outputs[0]}" != "$data/sample.bin" ] ||
    { problem "$name: encrypting left ${outputs[*]##*/}"; return; }
  cmp -s "${outputs[0]}" "$scratch/original" && problem "$name: the container holds the plain bytes"
  wine "$tessarin" -d "${options[@]}" "$(winpath "${outputs[0]}")" >"$scratch/out" 2>&1 ||
    { cat "$scratch/out"; problem "$name: decrypting ended with $?"; return; }
  cmp "$data/sample.bin" "$scratch/original" || problem "$name: the decrypted file differs from the original"
}
round_trip aes16.dll -k 128 -b 128 -m cbc -z gzip
round_trip aes24.dll -k 256 -b 192 -m ecb -z none
round_trip aes32.dll -k 192 -b 256 -m cfb -z bzip2

# --- aes.exe from the Start menu ------------------------------------------------
# Its window is found on the X screen by the class Wine gives the windows
# of a program, the program's file name; its process by its name among the
# processes of the test's prefix.
aes_windows() { xdotool search --onlyvisible --class '^aes\.exe$' 2>/dev/null; }
aes_shown() { [ -n "$(aes_windows)" ]; }
aes_hidden() { [ -z "$(aes_windows)" ]; }
aes_running() {
  local pid
  for pid in $(pgrep -f 'Tessarin\\aes\.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" && return 0
  done
  return 1
}
aes_ended() { ! aes_running; }
if [ "$with_gui" = 1 ]; then
  # A screen of the test's own, on the first free display number.
  exec 3>"$scratch/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
  xvfb=$!
  exec 3>&-
  if ! wait_for test -s "$scratch/display"; then
    cat "$scratch/xvfb.log"
    problem "Xvfb did not start"
  else
    export DISPLAY=":$(cat "$scratch/display")"
    started=$(seconds)
    # The shell opens the link as Explorer would; start returns at once.
    wine start "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tessarin\\Tessarin.lnk" ||
      problem "the Start menu entry did not open"
    if wait_for aes_shown; then
      echo "aes.exe showed its window $(elapsed "$started") after its start from the Start menu"
      wine taskkill /IM aes.exe >/dev/null 2>&1 || problem "taskkill found no aes.exe to close"
      wait_for aes_hidden || problem "aes.exe kept its window after it was asked to close"
      wait_for aes_ended || problem "aes.exe is still running after its window closed"
    else
      problem "aes.exe showed no window within 30 s"
    fi
  fi
fi

# --- silent uninstallation ------------------------------------------------------
# The uninstaller copies itself away and runs from there, so that it can
# remove itself and the folder: it is done when the folder is gone.
started=$(seconds)
wine "$installed\\Uninstall.exe" /S || problem "the uninstaller ended with $?"
wait_for test ! -e "$folder"
echo "silent uninstallation took $(elapsed "$started")"
[ ! -e "$folder" ] || problem "the install folder is left with: $(listing "$folder")"
[ ! -e "$menu" ] || problem "the Start menu folder is left with: $(listing "$menu")"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarin' >/dev/null 2>&1 &&
  problem "the uninstall entry is still in the registry"

[ $fail -eq 0 ] && echo "tessarin-$version-setup.exe installs, runs and uninstalls cleanly"
exit $fail
