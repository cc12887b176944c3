#!/bin/bash
# Builds the installer and installs it silently into a Wine prefix of the
# test's own, where nothing of the build is on any path: the installed
# tessarin.exe sends a file through each cipher module and back, aes.exe
# opened from the Start menu shows its window and ends when closed, and the
# silent uninstall leaves no file in the install folder or the Start menu.
#   installer-test.sh BUILD-DIR CPACK VERSION WINE-RUN WITH-GUI(0|1)
set -u
build=$1 cpack=$2 version=$3 wine_run=$4 with_gui=$5
fail=0 xvfb=""
problem() { echo "FAIL: $*"; fail=1; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tessarin-installer.XXXXXX") || exit 1
prefix=$scratch/prefix folder="$scratch/prefix/drive_c/Program Files/Tessarin"
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessarin"
trap '"$wine_run" "$prefix" --stop; [ -z "$xvfb" ] || kill "$xvfb"; rm -rf "$scratch"' EXIT
wine() { "$wine_run" "$prefix" "$@"; }
winpath() { local path=${1//\//\\}; echo "Z:$path"; }
wait_for() { for _ in $(seq 300); do "$@" && return 0; sleep 0.1; done; return 1; }

"$cpack" -G NSIS --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; exit 1; }
if [ "$with_gui" = 1 ]; then  # a screen of its own, up before Wine's desktop
  Xvfb -displayfd 3 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
  xvfb=$!
  wait_for test -s "$scratch/display" && export DISPLAY=":$(cat "$scratch/display")"
fi
wine --start
wine "$(winpath "$scratch/tessarin-$version-setup.exe")" /S || problem "the installer ended with $?"

printf 'installer test\n' >"$scratch/password"
tessarin() {  # on the one file in data
  local file=("$scratch"/data/*)
  wine 'C:\Program Files\Tessarin\tessarin.exe' "$@" --defaults --no-log -q \
    --password-file "$(winpath "$scratch/password")" "$(winpath "${file[0]}")"
}
for options in "-b 128 -z gzip" "-b 192 -z none" "-b 256 -z bzip2"; do
  rm -rf "$scratch/data" && mkdir "$scratch/data" && seq 1 30000 >"$scratch/data/sample"
  # shellcheck disable=SC2086 # the options are words
  tessarin -e $options && [ ! -e "$scratch/data/sample" ] || problem "encrypting with $options"
  tessarin -d $options && seq 1 30000 | cmp - "$scratch/data/sample" || problem "decrypting after $options"
done

aes_shown() { [ -n "$(xdotool search --onlyvisible --class '^aes\.exe$' 2>/dev/null)" ]; }
aes_ended() {  # no aes.exe left in the test's prefix
  ! aes_shown && ! grep -qsxzF "WINEPREFIX=$prefix" /dev/null $(pgrep -f 'Tessarin\\aes\.exe' | sed 's|.*|/proc/&/environ|')
}
if [ "$with_gui" = 1 ]; then
  wine start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Tessarin\Tessarin.lnk'
  wait_for aes_shown || problem "aes.exe showed no window"
  wine taskkill /IM aes.exe >/dev/null 2>&1
  wait_for aes_ended || problem "aes.exe did not end when its window was closed"
fi

# The uninstaller runs from a copy of itself, so that it can remove itself.
wine 'C:\Program Files\Tessarin\Uninstall.exe' /S || problem "the uninstaller ended with $?"
wait_for test ! -e "$folder" || problem "left in the install folder: $(ls -A "$folder")"
[ ! -e "$menu" ] || problem "left in the Start menu: $(ls -A "$menu")"
exit $fail
