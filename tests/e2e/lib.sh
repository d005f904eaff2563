# Shared steps of the end-to-end journeys: the built program in a real X server (no window
# manager, a trayer tray host) with its own PulseAudio server, driven with xdotool and
# checked with sox. Source it; every journey runs under tests/e2e/run-journey.sh.
set -uo pipefail

E2E_SKIP=77
WSX_BIN=${WSX_BIN:-$PWD/wanshengxia}
E2E_OUT=${E2E_OUT:-$PWD/e2e-output}
mkdir -p "$E2E_OUT"

e2e_fail() { echo "FAIL: $*" >&2; e2e_shot "failure-${E2E_NAME:-journey}"; exit 1; }
e2e_note() { echo "-- $*"; }

# A private home, so settings, autostart entries and takes land in the test's folder.
e2e_home() {
  E2E_HOME=$(mktemp -d "${TMPDIR:-/tmp}/wsx-e2e.XXXXXX")
  export HOME=$E2E_HOME XDG_CONFIG_HOME=$E2E_HOME/.config XDG_CACHE_HOME=$E2E_HOME/.cache \
    XDG_STATE_HOME=$E2E_HOME/.local/state
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
}

# Plays a sine of $1 Hz into the default sink until e2e_tone_stop.
e2e_tone_start() {
  PULSE_LATENCY_MSEC=50 sox -q -n -t pulseaudio default synth 600 sine "$1" vol 0.5 </dev/null >/dev/null 2>&1 &
  E2E_TONE_PID=$!
  sleep 0.5
}
e2e_tone_stop() { [ -n "${E2E_TONE_PID:-}" ] || return 0; kill "$E2E_TONE_PID" 2>/dev/null; wait "$E2E_TONE_PID" 2>/dev/null; E2E_TONE_PID=; sleep 0.3; }

# Starts the recorder and waits for its window; E2E_WIN is its X window.
e2e_start_app() {
  "$WSX_BIN" >"$E2E_OUT/${E2E_NAME}-app.log" 2>&1 &
  E2E_APP_PID=$!
  E2E_WIN=
  for _ in $(seq 100); do
    E2E_WIN=$(xdotool search --onlyvisible --name '^万声匣$' 2>/dev/null | head -1)
    [ -n "$E2E_WIN" ] && break
    kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "the program exited at start"
    sleep 0.1
  done
  [ -n "$E2E_WIN" ] || e2e_fail "no window appeared"
  sleep 0.5
}

# Waits up to $2 s (default 10) for the program to end; returns its exit code.
e2e_wait_exit() {
  for _ in $(seq $(( ${2:-10} * 10 ))); do
    kill -0 "$E2E_APP_PID" 2>/dev/null || { wait "$E2E_APP_PID"; return $?; }
    sleep 0.1
  done
  return 124
}

e2e_stop_app() {
  [ -n "${E2E_APP_PID:-}" ] && kill "$E2E_APP_PID" 2>/dev/null && wait "$E2E_APP_PID" 2>/dev/null
  E2E_APP_PID=
}

# The client area starts below the menu bar: the window is 135 px high without it. With a
# face taller than the layout's (Noto Serif CJK) the options box grows and what lies below it
# moves down, so this top is right for the buttons, the check box and the options, which
# keep their distance from the window's bottom; e2e_client_top_exact is right for the
# read-outs and the slider.
e2e_client_top() {
  local h
  h=$(xdotool getwindowgeometry "$E2E_WIN" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
  echo $(( h - 135 ))
}

# The client area's real top: the length read-out's black box, whose place never moves,
# begins 11 px below it.
e2e_client_top_exact() {
  import -window "$E2E_WIN" png:- 2>/dev/null | convert png:- -crop 1x120+200+0 +repage txt:- |
    awk -F'[,:]' '/#000000/ { if (++run == 5) { print $2 - 4 - 11; exit } next } { run = 0 }'
}

# Clicks at client-area pixel ($1, $2) of the recorder window.
e2e_click() {
  local top
  top=$(e2e_client_top)
  xdotool mousemove --window "$E2E_WIN" "$1" $(( $2 + top )) click 1
  sleep 0.3
}

e2e_press_record() { e2e_click 286 121; }
e2e_press_stop() { e2e_click 228 121; }
e2e_press_play() { e2e_click 170 121; }
# Starts the recorder and records a take of $2 seconds of a $1 Hz tone from the monitor.
e2e_record_new_take() {
  e2e_tone_start "$1"
  e2e_start_app
  e2e_press_record
  sleep "$2"
  e2e_press_stop
  e2e_tone_stop
}

# Captures the sink's monitor for $2 seconds into $1 (a WAV file). A short latency, since
# PipeWire otherwise delivers the monitor in large blocks and a capture ended by timeout
# would keep nothing. Raw samples, made a WAV afterwards: a WAV header is only completed
# when the recorder closes the file, and a loaded machine has shown one left at zero length.
e2e_capture() {
  timeout "$2" parec --latency-msec=50 --device=@DEFAULT_MONITOR@ --rate=22050 --channels=1 \
    --format=s16le >"$1.raw" 2>/dev/null || true
  sox -t raw -r 22050 -e signed -b 16 -c 1 "$1.raw" "$1" 2>/dev/null || true
  rm -f "$1.raw"
}

# "Rough frequency" (of the channels mixed: sox misjudges it on stereo files) and length
# of a WAV file, as sox measures them.
e2e_frequency() { sox "$1" -n remix - stat 2>&1 | sed -n 's/^Rough *frequency: *\([0-9]*\).*/\1/p'; }
e2e_seconds() { soxi -D "$1"; }
e2e_rms() { sox "$1" -n stat 2>&1 | sed -n 's/^RMS *amplitude: *\([0-9.]*\).*/\1/p'; }
# Records 1.5 s of what plays now as $E2E_OUT/$1.wav and fails unless it is the 440 Hz tone;
# E2E_FREQ is the frequency heard.
e2e_expect_tone_played() {
  e2e_capture "$E2E_OUT/$1.wav" 1.5
  E2E_FREQ=$(e2e_frequency "$E2E_OUT/$1.wav")
  e2e_near "$E2E_FREQ" 440 5 || e2e_fail "playback is ${E2E_FREQ} Hz, not 440"
}

# $1 within $2 ± $3 (decimal numbers)? An empty or non-numeric $1 (a measurement that
# failed) is never near anything.
e2e_near() {
  [[ $1 =~ ^-?[0-9]+(\.[0-9]+)?$ ]] || return 1
  awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { exit !(a - b <= t && b - a <= t) }'
}

e2e_shot() { import -window root "$E2E_OUT/$1.png" 2>/dev/null || true; }

# A private session bus for the journey (the test session has none): the recorder's
# hand-over and the stand-in desktop services meet on it.
e2e_start_bus() {
  command -v dbus-daemon >/dev/null || { echo "SKIP: dbus-daemon is not installed (Debian package dbus)"; exit "$E2E_SKIP"; }
  local out
  out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || e2e_fail "no session bus could start"
  export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$out")
  E2E_BUS_PID=$(sed -n 2p <<<"$out")
}

# Runs the program with arguments $@ as a later start would; E2E_STATUS is its exit code and
# E2E_SECONDS how long it took.
e2e_run_again() {
  local start end
  start=$(date +%s.%N)
  "$WSX_BIN" "$@" >>"$E2E_OUT/${E2E_NAME}-again.log" 2>&1
  E2E_STATUS=$?
  end=$(date +%s.%N)
  E2E_SECONDS=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
}

# Desktop services a journey runs beside the recorder (a portal, a panel, a notification
# server): `e2e_service NAME COMMAND...` runs COMMAND in the background with its output in
# $E2E_OUT/$E2E_NAME-NAME.log; e2e_cleanup stops each by its PID.
E2E_SERVICE_PIDS=()
e2e_service() {
  local name=$1
  shift
  "$@" >"$E2E_OUT/${E2E_NAME}-$name.log" 2>&1 &
  E2E_SERVICE_PIDS+=($!)
}

e2e_cleanup() {
  e2e_tone_stop
  e2e_stop_app
  local pid
  for pid in "${E2E_SERVICE_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${E2E_SERVICE_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
  [ -n "${E2E_ATSPI_PID:-}" ] && kill "$E2E_ATSPI_PID" 2>/dev/null
  [ -n "${E2E_BUS_PID:-}" ] && kill "$E2E_BUS_PID" 2>/dev/null
  [ -n "${E2E_HOME:-}" ] && rm -rf "$E2E_HOME"
}
trap e2e_cleanup EXIT

# The recorder's own streams on the sound server: recording ⇔ a source output of ours,
# playing ⇔ a sink input of ours.
e2e_recording() { pactl list source-outputs 2>/dev/null | grep -q 'application.name = "万声匣"'; }
# The stream's end reaches the sound server asynchronously: wait for it with e2e_until.
e2e_not_recording() { ! e2e_recording; }
e2e_playing() { pactl list sink-inputs 2>/dev/null | grep -q 'application.name = "万声匣"'; }
# Waits up to 3 s for the condition $@ to hold.
e2e_until() {
  for _ in $(seq 30); do "$@" && return 0; sleep 0.1; done
  return 1
}
e2e_viewable() { xwininfo -id "$E2E_WIN" 2>/dev/null | grep -q 'Map State: IsViewable'; }
e2e_hidden() { ! e2e_viewable; }

# A window manager that iconifies (minimising needs one) and binds no keys; in the C locale
# its fontset needs nothing beyond xfonts-base.
e2e_start_wm() {
  printf 'RandomPlacement\nIconifyByUnmapping\nNoTitle\n' >"$E2E_HOME/.twmrc"
  LC_ALL=C twm -f "$E2E_HOME/.twmrc" >/dev/null 2>&1 &
  E2E_WM_PID=$!
  sleep 0.5
}

# openbox, a window manager whose title bar shows only the buttons the window's hints allow
# (icon, title, minimise, maximise, close), with no key bindings: it would take Ctrl+Alt+arrows.
e2e_start_openbox() {
  command -v openbox >/dev/null || { echo "SKIP: openbox is not installed (Debian package openbox)"; exit "$E2E_SKIP"; }
  cat >"$E2E_HOME/openbox-rc.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy></placement>
  <theme><titleLayout>NLIMC</titleLayout></theme>
  <desktops><number>1</number></desktops>
  <keyboard></keyboard>
</openbox_config>
XML
  openbox --config-file "$E2E_HOME/openbox-rc.xml" >"$E2E_OUT/${E2E_NAME}-openbox.log" 2>&1 &
  E2E_WM_PID=$!
  for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  e2e_fail "openbox did not come up"
}
# The actions the window manager allows window $1 (_NET_WM_ALLOWED_ACTIONS), one a line.
e2e_allowed_actions() {
  xprop -id "$1" _NET_WM_ALLOWED_ACTIONS | sed 's/.*= //' | tr -d ' ' | tr ',' '\n'
}

# The accessibility bus on the session bus (e2e_start_bus first), and Qt told to use it, as
# a screen reader's desktop would; atspi.py reads the tree with Debian's python3.
e2e_start_atspi() {
  local launcher=/usr/libexec/at-spi-bus-launcher
  [ -x "$launcher" ] || { echo "SKIP: $launcher is missing (Debian package at-spi2-core)"; exit "$E2E_SKIP"; }
  /usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    { echo "SKIP: pyatspi is not installed for /usr/bin/python3 (Debian package python3-pyatspi)"; exit "$E2E_SKIP"; }
  "$launcher" --launch-immediately >"$E2E_OUT/${E2E_NAME}-atspi.log" 2>&1 &
  E2E_ATSPI_PID=$!
  for _ in $(seq 50); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
      >/dev/null 2>&1 && break
    sleep 0.1
  done
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
}
e2e_atspi() { /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/atspi.py" "$@"; }

# The recorder's icon in the tray: the small embedded window trayer holds.
e2e_tray_icon() {
  local id
  for id in $(xdotool search --classname wanshengxia 2>/dev/null); do
    local w
    w=$(xwininfo -id "$id" 2>/dev/null | sed -n 's/^ *Width: *//p')
    if [ -n "$w" ] && [ "$w" -le 48 ] && xwininfo -id "$id" | grep -q IsViewable; then echo "$id"; return 0; fi
  done
  return 1
}
# Clicks button $2 ($3 times) in the middle of X window $1, by absolute position.
e2e_click_window() {
  local info x y w h
  info=$(xwininfo -id "$1")
  x=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
  y=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
  w=$(sed -n 's/^ *Width: *//p' <<<"$info")
  h=$(sed -n 's/^ *Height: *//p' <<<"$info")
  xdotool mousemove $(( x + w / 2 )) $(( y + h / 2 )) click --repeat "${3:-1}" --delay 80 "$2"
  sleep 0.4
}

# Waits for a visible top-level window titled $1; E2E_DIALOG is it.
e2e_wait_dialog() {
  E2E_DIALOG=
  for _ in $(seq 50); do
    E2E_DIALOG=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$E2E_DIALOG" ] && return 0
    sleep 0.1
  done
  e2e_fail "no window titled '$1' appeared"
}
# Waits for a message box of the recorder: a visible window titled 万声匣 beside the
# recorder window, which has the same title and is the one 314 px wide. Sets E2E_DIALOG to
# the box and E2E_WIN to the window (a start that asks at once may have found the box first).
e2e_wait_box() {
  local w
  E2E_DIALOG=
  for _ in $(seq 80); do
    for w in $(xdotool search --onlyvisible --name '^万声匣$' 2>/dev/null); do
      if [ "$(xwininfo -id "$w" | sed -n 's/^ *Width: *//p')" = 314 ]; then E2E_WIN=$w; else E2E_DIALOG=$w; fi
    done
    [ -n "$E2E_DIALOG" ] && { sleep 0.3; return 0; }
    sleep 0.1
  done
  e2e_fail "no message box appeared"
}
# Opens the hot-key overview from the Help menu, takes a picture of it as $1, prints its height (186
# px without a notice line) and closes it.
e2e_overview_height() {
  e2e_keys "$E2E_WIN" alt+h
  sleep 0.3
  # The menu opens on 帮助主题; the next item is the overview.
  xdotool key Down Return
  e2e_wait_dialog 声匣热键一览
  sleep 0.3
  # The dialog itself: Xwayland's root window cannot be read.
  import -window "$E2E_DIALOG" "$E2E_OUT/$1.png" 2>/dev/null || true
  xwininfo -id "$E2E_DIALOG" | sed -n 's/^ *Height: *//p'
  e2e_keys "$E2E_DIALOG" Escape
}
# The takes the recorder keeps on disk.
e2e_takes() { find "$XDG_STATE_HOME/wanshengxia" -maxdepth 1 -name 'take-*' 2>/dev/null | wc -l; }
# Gives the keyboard to window $1 (there is no window manager to do it) and types keys.
e2e_keys() { local w=$1; shift; xdotool windowfocus --sync "$w" key --delay 60 "$@"; sleep 0.3; }

# Types $2 into the file-name field of the open save dialog $1 and presses Return. xdotool
# types a Chinese character by remapping a spare key for it; on a loaded machine the
# program can read the key before the new mapping and lose the character. So the text is
# typed slowly, and a caller that finds the wrong file (or the recorder's could-not-save
# message) tries again.
e2e_type_file_name() {
  xdotool windowfocus --sync "$1" key ctrl+a
  LC_ALL=C.UTF-8 xdotool type --delay 60 "$2"   # xdotool types multibyte text only in a UTF-8 locale
  sleep 0.3
  xdotool key Return
}

# Saves through Ctrl+A and the real file dialog as $1 (a full path, typed as is; with $2 =
# "typed-without-extension", $1 minus its ".wav" is typed and the dialog adds it).
e2e_save_as() {
  local typed=$1 attempt
  [ "${2:-}" = typed-without-extension ] && typed=${1%.wav}
  for attempt in 1 2 3; do
    e2e_keys "$E2E_WIN" ctrl+a
    e2e_wait_dialog 另存为
    sleep 0.3
    e2e_type_file_name "$E2E_DIALOG" "$typed"
    for _ in $(seq 50); do [ -f "$1" ] && return 0; sleep 0.1; done
    e2e_note "save attempt $attempt did not produce $1 (a typed character lost?); again"
    e2e_shot "${E2E_NAME}-save-attempt-$attempt"
    # Dismiss what is open: the could-not-save message, or the dialog itself.
    xdotool key Escape; sleep 0.3; xdotool key Escape; sleep 0.3
  done
  e2e_fail "nothing was saved as $1"
}

# Drags the slider's thumb from its place at the right end to client x $1.
e2e_drag_slider_from_end() {
  local top
  top=$(e2e_client_top_exact)
  [ -n "$top" ] || e2e_fail "the read-out's black box was not found"
  xdotool mousemove --window "$E2E_WIN" 311 $(( top + 90 )) mousedown 1
  sleep 0.2
  xdotool mousemove --window "$E2E_WIN" "$1" $(( top + 90 ))
  sleep 0.2
  xdotool mouseup 1
  sleep 0.3
}
