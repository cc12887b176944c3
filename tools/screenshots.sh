#!/bin/sh
# Takes a picture of each window of aes on a virtual screen (Xvfb, with the
# small window manager openbox for captions) into docs/screenshots/: the
# drop window, its zoomed form, the six pages of the settings dialog, the
# About box, the progress popup, a help note and the status report of a
# batch that failed. With SCALE=2 the pictures show the windows at 200 % and
# go to docs/screenshots/scale200/.
#
# Installs what it needs from Debian's packages (through sudo when not
# root), builds aes with the release preset when it is missing, and runs it
# with a private home and configuration folder: no user's settings are read
# or written. Each window is opened through TESSARIN_SCREENSHOT, which only
# this script sets.
#
# The windows show the paths of a user named "user": aes runs in a mount
# namespace of its own in which /home/user is the private home, so file
# names and the log read as on a desktop. Where the machine allows no such
# namespace, the private home's real path shows instead.
set -eu
cd "$(dirname "$0")/.."

need="xvfb imagemagick x11-utils openbox"
missing=""
for p in $need; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
fi

aes="${AES:-build/release/bin/aes}"
if [ ! -x "$aes" ]; then
  tools/bootstrap
  cmake --preset release
  cmake --build --preset release -j2 --target aes
fi

scale="${SCALE:-1}"
out="docs/screenshots"
[ "$scale" = 1 ] || out="docs/screenshots/scale${scale}00"
mkdir -p "$out"

work="$(mktemp -d)"
mkdir -p "$work/home/Documents" "$work/home/.config" "$work/home/.local/state/tessarin" "$work/runtime"
chmod 700 "$work/runtime"
# The file of the failed batch: no container, so decrypting it fails.
head -c 6000 /dev/urandom >"$work/home/Documents/Quarterly report 2024.odt"

home="/home/user"
ns="unshare --mount"
[ "$(id -u)" -ne 0 ] && ns="unshare --mount --map-root-user"
if ! $ns sh -c 'mount -t tmpfs tmpfs /home' 2>/dev/null; then
  ns=""
  home="$work/home"
  echo "note: no mount namespace allowed here, the pictures show $home" >&2
fi
display=":$(( ($$ % 400) + 100 ))"
Xvfb "$display" -screen 0 1280x900x24 -br -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
wm=""
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

export DISPLAY="$display" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" QT_QPA_PLATFORMTHEME=""
for _ in 1 2 3 4 5 6 7 8 9 10; do
  xwininfo -root >/dev/null 2>&1 && break
  sleep 0.5
done
openbox >"$work/openbox.log" 2>&1 &
wm=$!
sleep 1

# The id of the first window of aes whose title starts with $1 (Qt's
# hidden leader window has the title too, but no class).
window_id() {
  xwininfo -root -tree | awk -v t="\"$1" 'index($0, t) && index($0, "(\"aes\"") { print $1; exit }'
}

# aes on scene $1, with the home of the pictures; in the namespace the
# process is aes itself (each step execs the next), so $! is its id.
run_aes() {
  if [ -n "$ns" ]; then
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_STATE_HOME="$home/.local/state" TESSARIN_SCREENSHOT="$1" \
      $ns sh -c 'mount -t tmpfs tmpfs /home && mkdir /home/user && mount --bind "$0" /home/user && exec "$@"' \
      "$work/home" "$aes"
  else
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_STATE_HOME="$home/.local/state" TESSARIN_SCREENSHOT="$1" \
      "$aes"
  fi
}

# shot SCENE FILE TITLE: start aes on SCENE, wait for the window titled
# TITLE (the whole screen, trimmed, when TITLE is empty) and take its
# picture with its frame.
shot() {
  # Every window opens as on a first start.
  rm -rf "$work/home/.config"
  mkdir -p "$work/home/.config"
  run_aes "$1" >"$work/aes.log" 2>&1 &
  app=$!
  id=""
  for _ in $(seq 1 40); do
    sleep 0.25
    [ -n "$3" ] && id="$(window_id "$3")"
    [ -n "$id" ] && break
  done
  sleep 1.5
  if [ -n "$3" ]; then
    # Asked again: a window that changed its frame is a new window.
    id="$(window_id "$3")"
    [ -n "$id" ] || { echo "no window '$3' for $1" >&2; cat "$work/aes.log" >&2; exit 1; }
    timeout 30 /usr/bin/import -silent -frame -window "$id" "$out/$2.png"
  else
    timeout 30 /usr/bin/import -silent -window root "$work/root.png"
    /usr/bin/convert "$work/root.png" -trim +repage "$out/$2.png"
  fi
  # A batch's box outlives a termination request: killed after a while.
  kill "$app" 2>/dev/null || true
  for _ in $(seq 1 20); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  app=""
  echo "$out/$2.png"
}

shot main main-window "Tessarin"
shot zoomed main-window-zoomed "Tessarin"
shot help context-help ""
shot progress progress-popup "Progress Status"
shot about about-box "About Tessarin"
shot "status:$home/Documents/Quarterly report 2024.odt" status-report "STATUS REPORT"
page=0
for name in file-handling searching file-logging encryption compression window-properties; do
  shot "settings:$page" "settings-$name" "AES Main Configuration"
  page=$((page + 1))
done
