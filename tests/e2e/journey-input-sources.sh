# 录音来源: a second null sink stands in for a microphone (its monitor is the default source,
# a 1000 Hz tone plays into it) while the default sink plays 440 Hz as the computer's sound.
# Each menu choice records the right tone(s); the choice survives a restart; a chosen input
# that is removed gives way to the default input, and the user is told.
source "$(dirname "$0")/lib.sh"
e2e_home
ini=$XDG_CONFIG_HOME/wanshengxia/wanshengxia.ini

mic_module=$(pactl load-module module-null-sink sink_name=micsink rate=48000 \
  sink_properties=device.description=TestMic) || e2e_fail "cannot load a second null sink"
pactl set-default-source micsink.monitor || e2e_fail "cannot make the microphone the default source"
pactl set-default-sink testsink
PULSE_LATENCY_MSEC=50 sox -q -n -t pulseaudio micsink synth 600 sine 1000 vol 0.5 </dev/null >/dev/null 2>&1 &
mic_tone=$!
trap 'kill $mic_tone 2>/dev/null; e2e_cleanup' EXIT
e2e_tone_start 440

# RMS of file $1 between $2 and $3 Hz.
band_rms() { sox "$1" -n remix - sinc "$2-$3" stat 2>&1 | sed -n 's/^RMS *amplitude: *\([0-9.]*\).*/\1/p'; }
loud() { awk -v a="$1" 'BEGIN { exit !(a > 0.1) }'; }
quiet() { awk -v a="$1" 'BEGIN { exit !(a < 0.02) }'; }

# Picks the item with mnemonic $1 in 编辑 → 录音来源.
choose_input() {
  e2e_keys "$E2E_WIN" alt+e
  e2e_keys "$E2E_WIN" s
  [ -n "${2:-}" ] && e2e_shot "$2"
  e2e_keys "$E2E_WIN" "$1"
}

# Records 2 s into a new take, saves it as $1.wav and checks which tones it holds:
# $2 = mic, computer or both.
record_and_check() {
  local file=$E2E_HOME/$1.wav mic computer
  e2e_press_record
  e2e_until e2e_recording || e2e_fail "$1: no recording stream"
  sleep 2
  e2e_press_stop
  e2e_save_as "$file"
  mic=$(band_rms "$file" 900 1100); computer=$(band_rms "$file" 340 540)
  e2e_note "$1: 1000 Hz band RMS $mic, 440 Hz band RMS $computer, $(e2e_seconds "$file") s"
  case $2 in
    mic) loud "$mic" && quiet "$computer" ;;
    computer) quiet "$mic" && loud "$computer" ;;
    both) loud "$mic" && loud "$computer" ;;
  esac || e2e_fail "$1 should hold the $2 tone(s): 1000 Hz $mic, 440 Hz $computer"
  e2e_keys "$E2E_WIN" ctrl+n   # saved: New asks nothing
}

e2e_start_app
record_and_check default mic
choose_input c input-menu
record_and_check computer computer
choose_input b
record_and_check both both
grep -q '^Input=both' "$ini" || e2e_fail "the choice is not kept in $ini"

# A second run starts with the kept choice.
e2e_stop_app
e2e_start_app
record_and_check both-after-restart both

# A named input, kept from an earlier run, that is then unplugged.
e2e_stop_app
printf '[Recording]\nInput=device\nInputDevice=micsink.monitor\nInputDescription=Monitor of TestMic\n' >"$ini"
pactl set-default-source testsink.monitor   # the default now differs from the named one
e2e_start_app
record_and_check named mic
# The microphone's tone stops first: PulseAudio would move it to the remaining sink.
kill $mic_tone 2>/dev/null; wait $mic_tone 2>/dev/null
pactl unload-module "$mic_module"
box=
for _ in $(seq 50); do
  box=$(xdotool search --onlyvisible --name '^万声匣$' 2>/dev/null | grep -vx "$E2E_WIN" | head -1)
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || e2e_fail "no message said the chosen input has gone"
e2e_shot input-gone
xdotool windowfocus --sync "$box" key Return
sleep 0.3
grep -q '^Input=default' "$ini" || e2e_fail "the fallback to the default input is not kept"
record_and_check fallback computer   # the default source is now the computer's monitor
e2e_note "ok"
