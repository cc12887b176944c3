#!/bin/sh
# Makes the containers of one system from plain/: each file encrypted by
# that system's tessarin with the settings its name tells, password
# "sesame". The tests decrypt them on both systems.
#   make.sh linux build/release/bin/tessarin
#   make.sh windows tools/wine-run PREFIX build/windows/bin/tessarin.exe
set -eu
here=$(cd "$(dirname "$0")" && pwd)
origin=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'sesame\n' > "$work/pw"
mkdir -p "$here/$origin"
win() { [ "$origin" = windows ] && printf 'Z:%s' "$1" || printf '%s' "$1"; }
for plain in "$here"/plain/*; do
  name=$(basename "$plain")
  case $name in
    cbc-k256-b128.*) opts="-k 256 -b 128 -m cbc" ;;
    cfb-k192-b192.*) opts="-k 192 -b 192 -m cfb" ;;
    ecb-k128-b256.*) opts="-k 128 -b 256 -m ecb" ;;
    gzip-cbc.*) opts="-k 256 -b 256 -m cbc -z gzip -l best" ;;
    bzip2-cbc.*) opts="-k 256 -b 256 -m cbc -z bzip2 -l best" ;;
    *-cfb.*) opts="-k 256 -b 256 -m cfb" ;;
    *) opts="-k 256 -b 256 -m cbc" ;;
  esac
  mkdir "$work/data"
  cp "$plain" "$work/data/$name"
  # shellcheck disable=SC2086
  "$@" -e --defaults --aes-ext --no-mangle --no-log -q --password-file "$(win "$work/pw")" $opts \
    "$(win "$work/data/$name")"
  # A compressed file is encrypted under its compressed name (".gz", ".bz").
  for made in "$work/data"/*.aes; do
    mv "$made" "$here/$origin/"
  done
  rm -rf "$work/data"
done
