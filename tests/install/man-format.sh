#!/bin/bash
# The manual pages format without a warning: groff's, and man's when man
# is installed (it also runs the page through its preprocessors).
#   man-format.sh PAGE...
set -u
fail=0
for page in "$@"; do
  warnings=$(groff -man -ww -z "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "groff warns about $page:"
    printf '%s\n' "$warnings"
    fail=1
  fi
  if command -v man >/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
      echo "man warns about $page:"
      printf '%s\n' "$warnings"
      fail=1
    fi
  fi
done
exit $fail
