#!/usr/bin/env bash
# The recorder itself recording from the null sink's monitor beside parecord recording the
# same monitor in the same run, in rounds: the window shown with the tray icon animating,
# then minimised to the tray (the usual case with hot keys), again and again. CPU is read
# from /proc/PID/task/*/schedstat (nanoseconds on a CPU, every thread), so short rounds
# still measure a few tenths of a percent well; the median of the rounds is reported, with
# the ratio to parecord over the same interval. Also resident memory (it must stay flat)
# and the time from launch to the window being mapped.
#   bench/app-vs-parecord.sh BUILD_DIR [SECONDS_PER_ROUND] [ROUNDS]
set -uo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-20}
rounds=${3:-3}
here=$(cd "$(dirname "$0")" && pwd)
support=$here/../tests/support
exec "$support/x-env.sh" --tray "$support/pulse-env.sh" bash -s "$build" "$seconds" "$rounds" "$here" <<'SCRIPT'
set -uo pipefail
[ "${WSX_TEST_PULSE:-}" = 1 ] && [ "${WSX_TEST_X:-}" = 1 ] || { echo "no X or sound server: nothing measured"; exit 1; }
build=$1; seconds=$2; rounds=$3; here=$4
. "$here/lib.sh"
work=$(mktemp -d)
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
# CPU seconds of every thread of process $1 so far.
cpu() { awk -v ns="$(threadsNs "$1")" 'BEGIN { printf "%.6f\n", ns / 1e9 }'; }
# "thread-id name nanoseconds" for every thread of process $1 (names are squeezed to one word).
threads() {
  for t in /proc/"$1"/task/*; do
    printf '%s %s %s\n' "${t##*/}" "$(tr -c '[:alnum:]\n' _ <"$t/comm")" "$(cut -d' ' -f1 "$t/schedstat")"
  done 2>/dev/null
}
rss() { awk '/^VmRSS:/ { print $2 / 1024 }' "/proc/$1/status"; }

printf 'IconifyByUnmapping\nNoTitle\n' >"$work/twmrc"
LC_ALL=C twm -f "$work/twmrc" >/dev/null 2>&1 &
wm=$!
start=$(date +%s.%N)
"$build/wanshengxia" >"$work/app.log" 2>&1 &
app=$!
trap 'kill $app $wm ${peer:-} 2>/dev/null; rm -rf "$work"' EXIT
win=
while [ -z "$win" ]; do
  win=$(xdotool search --onlyvisible --name '^万声匣$' 2>/dev/null | head -1)
  [ -n "$win" ] || sleep 0.02
done
mapped=$(date +%s.%N)
sleep 1
h=$(xdotool getwindowgeometry "$win" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
xdotool mousemove --window "$win" 286 $(( h - 135 + 121 )) click 1   # Record
parecord --device=@DEFAULT_MONITOR@ --rate=22050 --channels=2 --file-format=wav "$work/peer.wav" &
peer=$!
sleep 2   # both streams settled
samples=""
# One round: $1 = shown | hidden; prints "recorder% parecord%".
round() {
  if [ "$1" = hidden ]; then xdotool windowminimize "$win"; else xdotool windowmap "$win"; fi
  sleep 1
  local a0 p0 a1 p1
  threads $app >"$work/t0"
  a0=$(cpu $app); p0=$(cpu $peer)
  sleep "$seconds"
  a1=$(cpu $app); p1=$(cpu $peer)
  threads $app >"$work/t1"
  # Per thread name (threads of one name added up): "name percent", for threads alive
  # through the round.
  awk -v s="$seconds" 'NR == FNR { ns[$1] = $3; next } ($1 in ns) { by[$2] += $3 - ns[$1] }
    END { for (n in by) printf "%s %.3f\n", n, 100 * by[n] / 1e9 / s }' "$work/t0" "$work/t1" \
    >>"$work/$1.threads"
  samples="$samples $(rss $app)"
  awk -v a="$(echo "$a1 - $a0" | bc -l)" -v p="$(echo "$p1 - $p0" | bc -l)" -v s="$seconds" \
    'BEGIN { printf "%.3f %.3f\n", 100 * a / s, 100 * p / s }'
}
: >"$work/shown"; : >"$work/hidden"; : >"$work/shown.threads"; : >"$work/hidden.threads"
for r in $(seq "$rounds"); do
  round shown >>"$work/shown"
  round hidden >>"$work/hidden"
  xwininfo -id "$win" | grep -q IsViewable && echo "warning: the window did not hide in round $r"
done
kill -INT $peer 2>/dev/null; wait $peer 2>/dev/null
awk -v a="$start" -v b="$mapped" 'BEGIN { printf "launch to mapped window (polled every 20 ms): %.2f s\n", b - a }'
echo "recorder RSS after each round (MB):$samples"
for kind in shown hidden; do
  ours=$(cut -d' ' -f1 "$work/$kind" | median); theirs=$(cut -d' ' -f2 "$work/$kind" | median)
  per=$(cut -d' ' -f1 "$work/$kind.threads" | sort -u | while read -r name; do
    printf ' %s %s%%' "$name" "$(awk -v n="$name" '$1 == n { print $2 }' "$work/$kind.threads" | median)"
  done)
  echo "$kind threads (median % of a core):$per"
  echo "$kind: recorder $ours% of a core, parecord $theirs% (median of $rounds rounds of $seconds s; rounds: $(tr '\n' ';' <"$work/$kind")) = $(awk -v a="$ours" -v p="$theirs" 'BEGIN { printf "%.2f", (p > 0) ? a / p : 0 }')x"
done
SCRIPT
