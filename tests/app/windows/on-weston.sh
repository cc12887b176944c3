#!/bin/sh
# on-weston.sh PROGRAM [ARGUMENT...]: runs PROGRAM as a native Wayland
# client (QT_QPA_PLATFORM=wayland, as a user would force it) of a private
# headless weston and exits with its status; 77 (skipped) when weston or
# Qt's wayland plugin (Debian package qt6-wayland) is missing.
set -eu
if ! command -v weston >/dev/null 2>&1; then
  echo "SKIPPED: weston is not installed (Debian package weston); tools/bootstrap installs it" >&2
  exit 77
fi
plugins="$(qtpaths6 -query QT_INSTALL_PLUGINS 2>/dev/null || true)"
if [ -z "$plugins" ] || [ ! -e "$plugins/platforms/libqwayland-generic.so" ]; then
  echo "SKIPPED: Qt's wayland plugin is not installed (Debian package qt6-wayland); tools/bootstrap installs it" >&2
  exit 77
fi
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  echo "on-weston.sh needs a private XDG_RUNTIME_DIR (mode 0700)" >&2
  exit 1
fi
WAYLAND_DISPLAY="tessarin-test-$$"
log="$XDG_RUNTIME_DIR/weston-$$.log"
weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" >"$log" 2>&1 &
weston=$!
trap 'kill "$weston" 2>/dev/null || true; wait "$weston" 2>/dev/null || true; rm -f "$log"' EXIT INT TERM
for _ in $(seq 1 50); do
  [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break
  kill -0 "$weston" 2>/dev/null || break
  sleep 0.1
done
if [ ! -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ]; then
  echo "weston did not start:" >&2
  cat "$log" >&2
  exit 1
fi
export WAYLAND_DISPLAY
unset DISPLAY
QT_QPA_PLATFORM=wayland
XDG_SESSION_TYPE=wayland
# No session bus belongs to this compositor (see on-xvfb.sh).
DBUS_SESSION_BUS_ADDRESS="disabled:"
export QT_QPA_PLATFORM XDG_SESSION_TYPE DBUS_SESSION_BUS_ADDRESS
status=0
"$@" || status=$?
exit "$status"
