#!/bin/sh
# on-weston-xwayland.sh PROGRAM [ARGUMENT...]: runs PROGRAM as an X11 client
# of the XWayland server of a private headless weston, the way a Wayland
# desktop runs X11 programs, and exits with its status; 77 (skipped) when
# weston, Xwayland, xprop or xwininfo is missing. The headless compositor
# has no input devices, so no synthetic pointer or keys can be sent
# (TESSARIN_TEST_NO_INPUT=1 tells the program under test).
set -eu
for tool in weston:weston Xwayland:xwayland xprop:x11-utils xwininfo:x11-utils; do
  if ! command -v "${tool%%:*}" >/dev/null 2>&1; then
    echo "SKIPPED: ${tool%%:*} is not installed (Debian package ${tool#*:}); tools/bootstrap installs it" >&2
    exit 77
  fi
done
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  echo "on-weston-xwayland.sh needs a private XDG_RUNTIME_DIR (mode 0700)" >&2
  exit 1
fi
WAYLAND_DISPLAY="tessarin-xwl-$$"
log="$XDG_RUNTIME_DIR/weston-$$.log"
weston --backend=headless-backend.so --xwayland --width=1280 --height=800 --socket="$WAYLAND_DISPLAY" >"$log" 2>&1 &
weston=$!
keeper=""
trap 'kill $keeper "$weston" 2>/dev/null || true; wait "$weston" 2>/dev/null || true; rm -f "$log"' EXIT INT TERM
# weston says which X display it listens on; the X server itself starts
# with the first client.
display=""
for _ in $(seq 1 100); do
  display="$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$log" | head -n 1)"
  [ -n "$display" ] && break
  kill -0 "$weston" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$display" ]; then
  echo "weston did not start with XWayland:" >&2
  cat "$log" >&2
  exit 1
fi
DISPLAY="$display"
export DISPLAY WAYLAND_DISPLAY
# A client that holds the X server for the whole run: it ends with its last
# client, and xprop or xwininfo come and go.
xprop -root -spy _NET_ACTIVE_WINDOW >/dev/null 2>&1 &
keeper=$!
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
QT_QPA_PLATFORM=xcb
XDG_SESSION_TYPE=wayland
TESSARIN_TEST_NO_INPUT=1
# No session bus belongs to this compositor (see on-xvfb.sh).
DBUS_SESSION_BUS_ADDRESS="disabled:"
export QT_QPA_PLATFORM XDG_SESSION_TYPE TESSARIN_TEST_NO_INPUT DBUS_SESSION_BUS_ADDRESS
status=0
"$@" || status=$?
exit "$status"
