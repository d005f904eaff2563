#!/usr/bin/env bash
# mcishell against a real PulseAudio server: records 2 s of a 440 Hz tone from the null
# sink's monitor through MCI command strings, saves it to a path with a blank and Chinese
# characters, checks the file with sox, then plays the element back and finds the tone on
# the monitor again with parecord.
#   mcishell-tone.sh BUILD_DIR      (exit 77: skipped)
set -uo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
for tool in sox soxi parecord; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
exec "$here/../support/pulse-env.sh" --no-tone bash -s "$build" "$here" <<'SCRIPT'
set -uo pipefail
[ "${WSX_TEST_PULSE:-}" = 1 ] || { echo "SKIP: no sound server could start"; exit 77; }
build=$1
work=$(mktemp -d); trap 'kill $tone 2>/dev/null; [ -n "$keep" ] && cp "$file" "$keep"; rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
freq() { sox "$1" -n remix - stat 2>&1 | sed -n 's/^Rough *frequency: *\([0-9]*\).*/\1/p'; }

PULSE_LATENCY_MSEC=50 sox -q -n -t pulseaudio default synth 60 sine 440 vol 0.5 </dev/null >/dev/null 2>&1 &
tone=$!
sleep 0.5
mkdir -p "$work/my takes"
file="$work/my takes/录音 一.wav"
keep=${WSX_KEEP_TAKE:-}
coproc MCI { "$build/mcishell"; }
source "$2/mcishell-lib.sh"

expect0 "open new type waveaudio alias A"
expect0 "set A time format ms bitspersample 16 samplespersec 22050 channels 2"
expect0 "record A overwrite"
sleep 2
expect0 "pause A"
kill $tone; wait $tone 2>/dev/null
expect0 "status A length"; length=$reply
expect0 "save A \"$file\""
len=$(soxi -D "$file"); f=$(freq "$file")
echo "recorded: status length $length ms; saved ${len} s, ${f} Hz, $(soxi -r "$file") Hz $(soxi -c "$file") ch $(soxi -b "$file") bit"
near "$len" 2.0 0.05 || fail "length $len s, not 2 s ± 50 ms"
near "$f" 440 5 || fail "dominant frequency $f Hz, not 440 ± 5"

# Play the element back while capturing the monitor; the tone is gone, so whatever 440 Hz
# reaches the monitor now comes from the playback.
timeout 3.5 parecord --latency-msec=50 --device=@DEFAULT_MONITOR@ --rate=22050 --channels=1 --file-format=wav "$work/back.wav" &
rec=$!
sleep 0.3
expect0 "play A from 0"
sleep 2.6
expect0 "status A mode"; mode=$reply
expect0 "status A position"; position=$reply
wait $rec 2>/dev/null
expect0 "close A"
back=$(freq "$work/back.wav")
rms=$(sox "$work/back.wav" -n stat 2>&1 | sed -n 's/^RMS *amplitude: *//p')
echo "played back: $back Hz, RMS $rms on the monitor; then mode $mode, position $position"
near "$back" 440 5 || fail "the monitor carried $back Hz during playback"
[ "$mode" = stopped ] || fail "mode after the end is $mode"
[ "$position" = "$length" ] || fail "position after the end is $position, length $length"
echo "ok"
SCRIPT
