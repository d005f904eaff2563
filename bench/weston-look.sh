#!/usr/bin/env bash
# The recorder on a Wayland compositor, as a look (not a test: nothing here fails on what the
# screenshots show):
#   bench/weston-look.sh [BUILD_DIR] [OUT_DIR]        (defaults: build, BUILD_DIR/weston-look)
# weston with XWayland runs on its x11 back end inside a private Xvfb, so keys can be typed
# into it (the headless back end has no input, and XTEST pointer events there end
# Xwayland 22), with a private runtime folder and a private session bus that has no portal.
# The recorder starts with QT_QPA_PLATFORM=wayland, then xcb, each in a fresh home: the
# first-run box about the hot keys is closed with Return, 声匣热键一览 is opened from the
# Help menu, and OUT_DIR gets weston-wayland.png and weston-xcb.png of the whole screen.
# Needs weston, xwayland, qt6-wayland, Xvfb, xdotool and ImageMagick.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build/weston-look}
for tool in weston Xwayland Xvfb xdotool import dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "weston-look: $tool is not installed" >&2; exit 1; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)
app=$(cd "$build" && pwd)/wanshengxia
work=$(mktemp -d "${TMPDIR:-/tmp}/wsx-weston.XXXXXX")
mkdir -m 700 "$work/runtime"
display=90
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
# weston ends its XWayland; the session bus ends with weston.
trap 'kill "$(cat "$work/weston.pid" 2>/dev/null)" 2>/dev/null; wait $session; kill $xvfb
  wait 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
export DISPLAY=:$display XDG_RUNTIME_DIR=$work/runtime
dbus-run-session -- bash -c 'echo "$DBUS_SESSION_BUS_ADDRESS" >"$0/bus"; echo $$ >"$0/weston.pid"
  exec weston --backend=x11-backend.so --use-pixman --xwayland --socket=wsx-look \
  --width=1024 --height=768 --log="$0/weston.log"' "$work" &
session=$!
for _ in $(seq 50); do grep -q 'xserver listening' "$work/weston.log" 2>/dev/null && break; sleep 0.1; done
xwayland=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log")
[ -n "$xwayland" ] || { echo "weston-look: weston did not start (see $work/weston.log)" >&2; exit 1; }

for platform in wayland xcb; do
  home=$work/home-$platform
  mkdir -p "$home/.config" "$home/.local/state"
  env -u XDG_SESSION_TYPE -u XDG_CURRENT_DESKTOP WAYLAND_DISPLAY=wsx-look DISPLAY="$xwayland" \
    DBUS_SESSION_BUS_ADDRESS="$(cat "$work/bus")" QT_QPA_PLATFORM=$platform HOME="$home" \
    XDG_CONFIG_HOME="$home/.config" XDG_STATE_HOME="$home/.local/state" \
    "$app" >"$out/weston-$platform.log" 2>&1 &
  recorder=$!
  sleep 3
  xdotool key Return  # the box: this desktop gives the program no global keys
  sleep 1.5
  # The menu opens on 帮助主题; the next item is the overview. The first Alt after the box
  # has gone is sometimes lost: a first Alt+H and Esc (which does nothing to the window)
  # come before the real one, and under XWayland the overview is looked for and the keys
  # tried again (a Wayland window cannot be looked for from outside).
  xdotool key alt+h
  sleep 1
  xdotool key Escape
  sleep 0.5
  for _ in 1 2 3; do
    xdotool key alt+h
    sleep 1
    xdotool key Down
    sleep 0.3
    xdotool key Return
    sleep 1.5
    [ "$platform" = xcb ] || break
    DISPLAY=$xwayland xdotool search --onlyvisible --name '^声匣热键一览' >/dev/null && break
  done
  import -window root "$out/weston-$platform.png"
  kill "$recorder"
  wait "$recorder" 2>/dev/null
  echo "QT_QPA_PLATFORM=$platform: $out/weston-$platform.png"
done
