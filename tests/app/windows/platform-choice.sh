#!/bin/sh
# platform-choice.sh AES: run by on-xvfb.sh. Starts the real aes on a Wayland
# session (a headless weston when installed, else WAYLAND_DISPLAY naming no
# socket) that also has an X server (this Xvfb): with QT_QPA_PLATFORM unset it must come up as an X11
# window by itself; with QT_QPA_PLATFORM=wayland the user's choice must
# stand, so it must not fall back to X11. Exit 77 without xdotool or xprop.
set -u
aes="$1"
for tool in xdotool:xdotool xprop:x11-utils; do
  if ! command -v "${tool%%:*}" >/dev/null 2>&1; then
    echo "SKIPPED: ${tool%%:*} is not installed (Debian package ${tool#*:}); tools/bootstrap installs it" >&2
    exit 77
  fi
done
# A client that holds the display for the whole run: on-xvfb.sh's server
# ends with its last client, and xdotool comes and goes.
xprop -root -spy _NET_ACTIVE_WINDOW >/dev/null 2>&1 &
keeper=$!
trap 'kill "$keeper" 2>/dev/null || true' EXIT INT TERM
sleep 0.3
XDG_SESSION_TYPE=wayland
# Run under a compositor already (with its own XWayland as the X server):
# that one is the session's.
if [ -n "${WAYLAND_DISPLAY:-}" ] && [ -S "${XDG_RUNTIME_DIR:-/nonexistent}/$WAYLAND_DISPLAY" ]; then
  echo "Wayland compositor: the one running ($WAYLAND_DISPLAY), X server $DISPLAY"
  export XDG_SESSION_TYPE WAYLAND_DISPLAY
  given=1
else
  given=0
  WAYLAND_DISPLAY=no-compositor-here
fi
# With weston installed, a live (headless) compositor: then Qt on its own
# would have taken it, so the X11 window shows the program's choice.
weston=""
if [ "$given" = 1 ]; then
  :
elif command -v weston >/dev/null 2>&1 && [ -n "${XDG_RUNTIME_DIR:-}" ]; then
  WAYLAND_DISPLAY="tessarin-test-$$"
  weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" >"$XDG_RUNTIME_DIR/weston-$$.log" 2>&1 &
  weston=$!
  trap 'kill "$keeper" "$weston" 2>/dev/null || true; rm -f "$XDG_RUNTIME_DIR/weston-$$.log"' EXIT INT TERM
  for _ in $(seq 1 50); do
    [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break
    sleep 0.1
  done
  if [ ! -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ]; then
    echo "weston did not start:" >&2
    cat "$XDG_RUNTIME_DIR/weston-$$.log" >&2
    exit 1
  fi
  echo "Wayland compositor: headless weston ($WAYLAND_DISPLAY)"
elif [ "$given" = 0 ]; then
  echo "Wayland compositor: none (weston is not installed), WAYLAND_DISPLAY names no socket"
fi
export XDG_SESSION_TYPE WAYLAND_DISPLAY

# The visible top-level of the program (Qt also owns a hidden 1x1 leader
# window with the same title).
find_window() {
  for _ in $(seq 1 "$1"); do
    window="$(xdotool search --onlyvisible --name '^Tessarin$' 2>/dev/null | head -n 1)"
    [ -n "$window" ] && { echo "$window"; return 0; }
    sleep 0.2
  done
  return 1
}

env -u QT_QPA_PLATFORM "$aes" &
pid=$!
if ! window="$(find_window 100)"; then
  echo "FAIL: with QT_QPA_PLATFORM unset aes showed no window on the X server" >&2
  kill "$pid" 2>/dev/null
  exit 1
fi
echo "QT_QPA_PLATFORM unset, WAYLAND_DISPLAY set: X11 window $window"
kill -TERM "$pid"
if ! wait "$pid"; then
  echo "FAIL: aes did not end cleanly when told to quit" >&2
  exit 1
fi

# The user's own choice wins: told to use wayland, it must not come up on
# X11 instead (natively on weston, or not at all without a compositor).
QT_QPA_PLATFORM=wayland "$aes" >/dev/null 2>&1 &
pid=$!
if window="$(find_window 15)"; then
  echo "FAIL: QT_QPA_PLATFORM=wayland was overridden: X11 window $window" >&2
  kill "$pid" 2>/dev/null
  exit 1
fi
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
echo "QT_QPA_PLATFORM=wayland: no X11 window, the user's choice stood"
exit 0
