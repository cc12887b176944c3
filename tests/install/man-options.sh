#!/bin/bash
# The manual page describes every option that "tessarin --help" lists, and
# carries the project's version in its title line.
#   man-options.sh TESSARIN MANPAGE VERSION
set -u
tessarin=$1 page=$2 version=$3
fail=0

help=$("$tessarin" --help) || { echo "tessarin --help failed"; exit 1; }
# roff writes a minus of an option as "\-".
text=$(sed 's/\\-/-/g' "$page")

longs=$(printf '%s\n' "$help" | grep -oE -- '--[a-z][a-z-]*' | sort -u)
shorts=$(printf '%s\n' "$help" | grep -oE -- '^ +-[a-zA-Z],' | tr -d ' ,' | sort -u)
[ -n "$longs" ] || { echo "no long options found in tessarin --help"; exit 1; }
[ -n "$shorts" ] || { echo "no short options found in tessarin --help"; exit 1; }

for option in $longs $shorts; do
  # The option as a word of its own: "--log" must not pass for "--no-log".
  if ! printf '%s\n' "$text" | grep -qE -- "(^|[^a-zA-Z-])$option([^a-zA-Z-]|\$)"; then
    echo "the manual page does not describe $option"
    fail=1
  fi
done

title=$(grep -m1 '^\.TH ' "$page")
case $title in
  *"\"Tessarin $version\""*) ;;
  *) echo "the title line does not name Tessarin $version: $title"; fail=1 ;;
esac
exit $fail
