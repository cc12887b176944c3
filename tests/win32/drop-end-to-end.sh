#!/bin/sh
# A small tree dropped on aes.exe's window is encrypted, dropped again with
# "Decrypting" and compared byte for byte with a copy of what it was.
#   drop-end-to-end.sh ROUTE WINE-RUN PREFIX BIN-DIR XDND-DROP WORK-DIR
# ROUTE: xdnd (an X client drops, as a Linux file manager on Wine's
# window) or ole (a Windows program drops by DoDragDrop).
set -eu
route=$1 wine_run=$2 prefix=$3 bin=$4 xdnd_drop=$5 work=$6
rm -rf "$work"
mkdir -p "$work/tree/folder with spaces/deeper" "$work/tree/empty folder"
printf 'first file\n' >"$work/tree/a.txt"
: >"$work/tree/empty.dat"
head -c 300000 /dev/urandom >"$work/tree/folder with spaces/random.bin"
printf 'Grüße aus dem Ordner\n' >"$work/tree/folder with spaces/deeper/grüße.txt"
seq 1 20000 >"$work/tree/folder with spaces/deeper/numbers.txt"
cp -a "$work/tree" "$work/original"

# Defaults, and the batch's log inside the work folder.
"$wine_run" "$prefix" reg delete 'HKCU\Software\Quenby Software\Tessarin' /f >/dev/null 2>&1 || true
windows_work="Z:$(printf '%s' "$work" | tr / '\\')"
"$wine_run" "$prefix" "$bin/aes.exe" &
program=$!
trap 'kill $program 2>/dev/null || true' EXIT

drive() { "$wine_run" "$prefix" "$bin/aes_driver.exe" "$@"; }
drop() {
  case "$route" in
  xdnd) "$xdnd_drop" Tessarin "$work/tree" ;;
  ole) drive drop-ole "$windows_work\\tree" ;;
  *) echo "unknown route $route" >&2; exit 2 ;;
  esac
}

drive password 'pässword 1' direction 0
drop
drive report | tee "$work/encrypted.txt"
grep -qF '5 file(s) processed' "$work/encrypted.txt" || { echo "encryption did not process 5 files" >&2; exit 1; }
[ -f "$work/tree/a.txt.aes" ] || { echo "a.txt was not encrypted" >&2; ls -R "$work/tree" >&2; exit 1; }
if diff -r "$work/original" "$work/tree" >/dev/null 2>&1; then
  echo "the tree is unchanged after encrypting" >&2; exit 1
fi

drive direction 1
drop
drive report exit | tee "$work/decrypted.txt"
grep -qF '5 file(s) processed' "$work/decrypted.txt" || { echo "decryption did not process 5 files" >&2; exit 1; }
wait $program
trap - EXIT
diff -r "$work/original" "$work/tree"
echo "$route: 5 files encrypted and decrypted, the tree as it was"
