#!/usr/bin/env bash
# A private sound server for tests, speaking the PulseAudio protocol on DIR/native:
# PulseAudio where it is installed, otherwise PipeWire (pipewire, wireplumber and
# pipewire-pulse, with a private session bus that WirePlumber needs). All its files stay in
# DIR; the user's own server is never touched.
#   sound-server.sh DIR [--sink NAME | --no-sink]   runs until killed; kill its process group
#   sound-server.sh --which                         prints the kind it would start, or fails
# With a sink (default name testsink, 48 kHz) the sink is the default sink and its monitor the
# default source. DIR/ready appears once the server is complete; DIR/server.log gathers the
# logs. WSX_TEST_SOUND_SERVER=pulseaudio|pipewire chooses the kind by hand.
set -uo pipefail

kind() {
  case ${WSX_TEST_SOUND_SERVER:-} in
    pulseaudio|pipewire) echo "$WSX_TEST_SOUND_SERVER"; return 0 ;;
  esac
  if command -v pulseaudio >/dev/null; then
    echo pulseaudio
  elif command -v pipewire >/dev/null && command -v pipewire-pulse >/dev/null &&
       command -v wireplumber >/dev/null && command -v dbus-daemon >/dev/null; then
    echo pipewire
  else
    echo "sound-server: neither pulseaudio nor pipewire + pipewire-pulse + wireplumber is installed" >&2
    return 1
  fi
}

if [ "${1-}" = --which ]; then kind; exit; fi
[ $# -ge 1 ] || { echo "usage: $0 DIR [--sink NAME | --no-sink] | --which" >&2; exit 2; }
dir=$1; shift
sink=testsink
case ${1-} in
  --sink) sink=$2 ;;
  --no-sink) sink= ;;
esac
server=$(kind) || exit 3

mkdir -p "$dir/runtime" "$dir/home/.config" "$dir/state"
chmod 700 "$dir/runtime"
rm -f "$dir/native" "$dir/ready"   # left by a killed predecessor
export HOME=$dir/home XDG_CONFIG_HOME=$dir/home/.config XDG_STATE_HOME=$dir/state
export XDG_RUNTIME_DIR=$dir/runtime PULSE_SERVER=unix:$dir/native
unset DISPLAY WAYLAND_DISPLAY
log=$dir/server.log

# Stopping the script (TERM, INT) stops what it started; SIGKILL to its process group stops
# everything at once, as a crash would.
trap 'kill $(jobs -p) 2>/dev/null; wait' EXIT
trap 'exit 0' TERM INT

case $server in
  pulseaudio)
    args=(--daemonize=no --use-pid-file=no --exit-idle-time=-1 --realtime=no --high-priority=no -n)
    [ -n "$sink" ] && args+=(-L "module-null-sink sink_name=$sink rate=48000")
    DBUS_SESSION_BUS_ADDRESS=disabled: PULSE_RUNTIME_PATH=$dir/runtime/pulse PULSE_STATE_PATH=$dir/state \
      pulseaudio "${args[@]}" -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
      --log-target=file:"$log" </dev/null >/dev/null 2>&1 &
    ;;
  pipewire)
    export PIPEWIRE_RUNTIME_DIR=$dir/runtime DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/bus
    # The socket in DIR; channels mixed as PulseAudio mixes them (a mono stream from a
    # stereo source is the average of the two; a mono stream played is copied to both at its
    # own level), so that levels measured by the tests mean the same on both servers; and no
    # stand-in "Dummy Output" sink when the server is to have none.
    mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire-pulse.conf.d"
    sed '/module-always-sink/d' /usr/share/pipewire/pipewire-pulse.conf \
      >"$XDG_CONFIG_HOME/pipewire/pipewire-pulse.conf"
    cat >"$XDG_CONFIG_HOME/pipewire/pipewire-pulse.conf.d/private.conf" <<CONF
pulse.properties = { server.address = [ "unix:$dir/native" ] }
stream.properties = { channelmix.normalize = true channelmix.upmix = false }
CONF
    # WirePlumber for policy only, without device monitors: they would reach for the
    # machine's real sound cards and Bluetooth devices, and the Bluetooth monitor loads the
    # logind plugin, which stops WirePlumber where systemd-logind does not run (containers,
    # chroots, CI). These are WirePlumber 0.4's configuration files (Debian 12).
    mkdir -p "$XDG_CONFIG_HOME/wireplumber/main.lua.d" "$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d"
    printf '%s\n' "alsa_monitor.enabled = false" "v4l2_monitor.enabled = false" \
      "libcamera_monitor.enabled = false" >"$XDG_CONFIG_HOME/wireplumber/main.lua.d/51-private.lua"
    echo "bluez_monitor.enabled = false" >"$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d/51-private.lua"
    dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" </dev/null >>"$log" 2>&1 &
    for _ in $(seq 50); do [ -S "$dir/bus" ] && break; sleep 0.05; done
    pipewire </dev/null >>"$log" 2>&1 &
    for _ in $(seq 50); do [ -S "$dir/runtime/pipewire-0" ] && break; sleep 0.05; done
    wireplumber </dev/null >>"$log" 2>&1 &
    pipewire-pulse </dev/null >>"$log" 2>&1 &
    ;;
esac

# Up to 10 s for each step: a loaded machine (two builds beside the tests) is slow to start
# a server.
for _ in $(seq 200); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
pactl info >/dev/null 2>&1 || { echo "sound-server: $server did not answer within 10 s; see $log" >&2; exit 1; }
if [ -n "$sink" ]; then
  [ "$server" = pipewire ] && { pactl load-module module-null-sink sink_name="$sink" rate=48000 >/dev/null || exit 1; }
  # The defaults are set through the session manager, which may still be starting.
  for _ in $(seq 100); do
    pactl set-default-sink "$sink" 2>/dev/null && pactl set-default-source "$sink.monitor" 2>/dev/null &&
      [ "$(pactl get-default-source 2>/dev/null)" = "$sink.monitor" ] && break
    sleep 0.1
  done
  [ "$(pactl get-default-source 2>/dev/null)" = "$sink.monitor" ] ||
    { echo "sound-server: cannot make $sink the default; see $log" >&2; exit 1; }
fi
: >"$dir/ready"
wait
