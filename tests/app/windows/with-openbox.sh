#!/bin/sh
# with-openbox.sh PROGRAM [ARGUMENT...]: run by on-xvfb.sh; starts the
# openbox window manager on that display, runs PROGRAM under it and exits
# with its status; 77 (skipped) when openbox, xdotool or xprop is missing.
set -eu
for tool in openbox:openbox xdotool:xdotool xprop:x11-utils xwininfo:x11-utils; do
  if ! command -v "${tool%%:*}" >/dev/null 2>&1; then
    echo "SKIPPED: ${tool%%:*} is not installed (Debian package ${tool#*:}); tools/bootstrap installs it" >&2
    exit 77
  fi
done
# A client that holds the display for the whole run: on-xvfb.sh's server
# ends with its last client, and xprop or xdotool may come and go before
# openbox or the program has connected.
xprop -root -spy _NET_ACTIVE_WINDOW >/dev/null 2>&1 &
keeper=$!
sleep 0.3
openbox --sm-disable >"${TMPDIR:-/tmp}/openbox-$$.log" 2>&1 &
wm=$!
trap 'kill "$keeper" 2>/dev/null || true; kill "$wm" 2>/dev/null || true; wait "$wm" 2>/dev/null || true; rm -f "${TMPDIR:-/tmp}/openbox-$$.log"' EXIT INT TERM
# The window manager is ready once it announces itself on the root window.
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  kill -0 "$wm" 2>/dev/null || break
  sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
  echo "openbox did not start:" >&2
  cat "${TMPDIR:-/tmp}/openbox-$$.log" >&2
  exit 1
fi
status=0
"$@" || status=$?
exit "$status"
