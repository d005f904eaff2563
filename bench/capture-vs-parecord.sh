#!/usr/bin/env bash
# mcishell and parecord capturing side by side from the null sink's monitor of one private
# sound server, at 22050 Hz stereo 16-bit, in ROUNDS rounds of SECONDS each (a fresh pair of
# processes every round). Two CPU figures per process, both exact to the microsecond:
#  - whole run: everything the process used from launch to exit (wait4's resource usage;
#    mcishell's includes opening the take, the save and the close);
#  - capturing: the CPU of every thread from 2 s after launch to 1 s before the end
#    (/proc/PID/task/*/schedstat, nanoseconds on a CPU), the steady state alone.
# Each round is printed, then the medians and their ratios. Both files must hold SECONDS of
# sound (within a quarter second): a round where either does not is flagged, and the exit
# code is then 1. Other work on the machine inflates both sides alike; run it at nice 0 and
# read the medians.
#   bench/capture-vs-parecord.sh BUILD_DIR [SECONDS] [ROUNDS]     (defaults: 30 and 5)
set -uo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-30}
rounds=${3:-5}
here=$(cd "$(dirname "$0")" && pwd)
[ "$seconds" -ge 5 ] 2>/dev/null || { echo "SECONDS must be a whole number, at least 5" >&2; exit 2; }
exec "$here/../tests/support/pulse-env.sh" bash -s "$build" "$seconds" "$rounds" "$here" <<'SCRIPT'
set -uo pipefail
[ "${WSX_TEST_PULSE:-}" = 1 ] || { echo "no sound server: nothing measured"; exit 1; }
build=$1; seconds=$2; rounds=$3; here=$4
. "$here/lib.sh"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
pidOf() { while [ ! -s "$1.pid" ]; do sleep 0.01; done; cat "$1.pid"; }

printf '%-6s %22s %22s %16s %9s\n' "" "mcishell ms (capt.)" "parecord ms (capt.)" "ratio (capt.)" "recorded"
: >"$work/rows"
failed=0
for round in $(seq "$rounds"); do
  r=$work/$round; mkdir -p "$r"
  export XDG_CACHE_HOME=$r/cache XDG_STATE_HOME=$r/state
  cat >"$r/script" <<MCI
open new type waveaudio alias A
set A time format ms bitspersample 16 samplespersec 22050 channels 2
record A overwrite
wait $(( seconds * 1000 ))
pause A
save A "$r/ours.wav"
close A
MCI
  python3 "$here/cputime.py" "$r/ours" "$build/mcishell" "$r/script" >/dev/null &
  python3 "$here/cputime.py" "$r/peer" --int-after "$seconds" parecord --device=@DEFAULT_MONITOR@ \
    --rate=22050 --channels=2 --format=s16le --file-format=wav "$r/peer.wav" &
  ours=$(pidOf "$r/ours"); peer=$(pidOf "$r/peer")
  sleep 2
  o0=$(threadsNs "$ours"); p0=$(threadsNs "$peer")
  sleep $(( seconds - 3 ))
  o1=$(threadsNs "$ours"); p1=$(threadsNs "$peer")
  wait
  ol=$(soxi -D "$r/ours.wav" 2>/dev/null || echo 0); pl=$(soxi -D "$r/peer.wav" 2>/dev/null || echo 0)
  read -r oc _ <"$r/ours"; read -r pc _ <"$r/peer"
  row=$(awk -v oc="$oc" -v pc="$pc" -v ow="$(( o1 - o0 ))" -v pw="$(( p1 - p0 ))" \
    'BEGIN { printf "%.3f %.3f %.3f %.3f %.3f %.3f", 1e3 * oc, ow / 1e6, 1e3 * pc, pw / 1e6,
             (pc > 0) ? oc / pc : 0, (pw > 0) ? ow / pw : 0 }')
  echo "$row" >>"$work/rows"
  short=$(awk -v s="$seconds" -v a="$ol" -v b="$pl" \
    'BEGIN { d1 = a - s; d2 = b - s; if (d1 < 0) d1 = -d1; if (d2 < 0) d2 = -d2
             print (d1 > 0.25 || d2 > 0.25) ? "WRONG LENGTH" : "" }')
  [ -n "$short" ] && failed=1
  set -- $row
  printf 'round %-2s %13.1f (%6.1f) %13.1f (%6.1f) %8.2f (%5.2f) %5.2fs %5.2fs %s\n' \
    "$round" "$1" "$2" "$3" "$4" "$5" "$6" "$ol" "$pl" "$short"
done
col() { cut -d' ' -f"$1" "$work/rows" | median; }
printf 'median  %13.1f (%6.1f) %13.1f (%6.1f) %8.2f (%5.2f)\n' \
  "$(col 1)" "$(col 2)" "$(col 3)" "$(col 4)" "$(col 5)" "$(col 6)"
awk -v o="$(col 1)" -v p="$(col 3)" -v s="$seconds" 'BEGIN {
  printf "%% of a core over the whole run: mcishell %.3f, parecord %.3f\n", o / 10 / s, p / 10 / s }'
echo "CPU ratio mcishell/parecord, median of $rounds rounds of $seconds s: $(col 5) (capturing alone: $(col 6))"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $failed
SCRIPT
