#!/usr/bin/env bash
# A take follows the clock on a real server: the sink is suspended for 3 s in the middle of
# a recording of its monitor (pactl suspend-sink), so nothing arrives for that time. The
# saved take is as long as the wall time of the recording (±0.3 s), silent where the stall
# was and the tone around it, and "status A silence" says how much of it stands in.
#   mcishell-stall.sh BUILD_DIR      (exit 77: skipped)
set -uo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
for tool in sox soxi pactl; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
exec "$here/../support/pulse-env.sh" bash -s "$build" "$here" <<'SCRIPT'
set -uo pipefail
[ "${WSX_TEST_PULSE:-}" = 1 ] || { echo "SKIP: no sound server could start"; exit 77; }
build=$1
work=$(mktemp -d); trap 'pactl suspend-sink testsink 0 2>/dev/null; rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
# The loudest sample between two times of the file, 0..1.
peak() { sox "$1" -n trim "$2" "=$3" stat 2>&1 | sed -n 's/^Maximum amplitude: *//p'; }
now() { date +%s.%N; }

coproc MCI { "$build/mcishell"; }
source "$2/mcishell-lib.sh"

expect0 "open new type waveaudio alias A"
expect0 "set A time format ms bitspersample 16 samplespersec 22050 channels 1"
expect0 "record A"
start=$(now)
sleep 1.5
pactl suspend-sink testsink 1 || fail "cannot suspend the sink"
sleep 3
pactl suspend-sink testsink 0
sleep 1.5
expect0 "pause A"
wall=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
expect0 "status A silence"; silence=$reply
expect0 "save A \"$work/stall.wav\""
len=$(soxi -D "$work/stall.wav")
echo "wall time ${wall} s, saved ${len} s, silence ${silence} ms"
near "$len" "$wall" 0.3 || fail "the take is ${len} s for ${wall} s of wall time"
near "$silence" 3000 500 || fail "$silence ms of silence, not about 3000"
quiet=$(peak "$work/stall.wav" 2.0 4.2)
before=$(peak "$work/stall.wav" 0.5 1.2)
after=$(peak "$work/stall.wav" 5.0 5.8)
echo "peaks: before ${before}, stall ${quiet}, after ${after}"
near "$quiet" 0 0.01 || fail "the stall is not silent: peak $quiet"
awk -v b="$before" -v a="$after" 'BEGIN { exit !(b > 0.1 && a > 0.1) }' || fail "no tone around the stall"
echo "ok"
SCRIPT
