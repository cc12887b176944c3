#!/bin/sh
# on-mutter-xwayland.sh PROGRAM [ARGUMENT...]: runs PROGRAM as an X11 client
# of the XWayland server of a private headless mutter (the compositor of
# the GNOME desktop) with a 1280x800 virtual monitor, the way a GNOME
# Wayland session runs X11 programs, and exits with its status; 77
# (skipped) when mutter, dbus-run-session, Xwayland, xprop or xwininfo is
# missing.
set -eu
for tool in mutter:mutter dbus-run-session:dbus-daemon Xwayland:xwayland xprop:x11-utils xwininfo:x11-utils; do
  if ! command -v "${tool%%:*}" >/dev/null 2>&1; then
    echo "SKIPPED: ${tool%%:*} is not installed (Debian package ${tool#*:}); tools/bootstrap installs it" >&2
    exit 77
  fi
done
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  echo "on-mutter-xwayland.sh needs a private XDG_RUNTIME_DIR (mode 0700)" >&2
  exit 1
fi
WAYLAND_DISPLAY="tessarin-mutter-$$"
log="$XDG_RUNTIME_DIR/mutter-$$.log"
# mutter needs a session bus of its own; it hands its X authority file and
# display number over in the log.
dbus-run-session -- mutter --headless --wayland --virtual-monitor 1280x800 --wayland-display "$WAYLAND_DISPLAY" \
  >"$log" 2>&1 &
mutter=$!
keeper=""
cleanup() {
  [ -n "$keeper" ] && kill "$keeper" 2>/dev/null
  kill "$mutter" 2>/dev/null || true
  pkill -TERM -f -- "--wayland-display $WAYLAND_DISPLAY" 2>/dev/null || true
  wait "$mutter" 2>/dev/null || true
  rm -f "$log"
}
trap cleanup EXIT INT TERM
display=""
for _ in $(seq 1 150); do
  display="$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$log" | head -n 1)"
  [ -n "$display" ] && [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break
  kill -0 "$mutter" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$display" ] || [ ! -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ]; then
  echo "mutter did not start with XWayland:" >&2
  cat "$log" >&2
  exit 1
fi
XAUTHORITY="$(ls -d "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n 1)"
DISPLAY="$display"
export DISPLAY WAYLAND_DISPLAY XAUTHORITY
xprop -root -spy _NET_ACTIVE_WINDOW >/dev/null 2>&1 &
keeper=$!
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
  echo "mutter's X11 window manager did not come up:" >&2
  cat "$log" >&2
  exit 1
fi
QT_QPA_PLATFORM=xcb
XDG_SESSION_TYPE=wayland
# The compositor moves windows with its own pointer: synthetic X input
# reaches X11 clients, but cannot drive a move the compositor runs.
TESSARIN_TEST_NO_SYSTEM_MOVE=1
# Not mutter's bus: the program under test has no session bus (see on-xvfb.sh).
DBUS_SESSION_BUS_ADDRESS="disabled:"
export QT_QPA_PLATFORM XDG_SESSION_TYPE TESSARIN_TEST_NO_SYSTEM_MOVE DBUS_SESSION_BUS_ADDRESS
status=0
"$@" || status=$?
exit "$status"
