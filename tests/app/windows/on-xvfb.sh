#!/bin/sh
# on-xvfb.sh PROGRAM [ARGUMENT...]: runs PROGRAM as an X11 client on a
# private virtual screen (Xvfb, 1280x800, no window manager) and exits with
# its status; 77, which CTest counts as skipped, when Xvfb is not installed.
set -eu
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIPPED: Xvfb is not installed (Debian package xvfb); tools/bootstrap installs it" >&2
  exit 77
fi
work="$(mktemp -d)"
xvfb=""
cleanup() {
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
# Xvfb picks a free display itself and writes its number once it accepts
# clients; -terminate ends it with its last client, should this script die.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -terminate 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY
QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM
# No session bus belongs to this screen: without this, D-Bus would try to
# start one for the display (and a sanitizer build reports what that try
# leaves behind); nor may the test reach the user's own.
DBUS_SESSION_BUS_ADDRESS="disabled:"
export DBUS_SESSION_BUS_ADDRESS
status=0
"$@" || status=$?
exit "$status"
