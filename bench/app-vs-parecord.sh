#!/usr/bin/env bash
# The recorder itself, window open and tray icon animating, recording 30 s from the null
# sink's monitor, beside parecord recording the same monitor in the same run: CPU and
# resident memory (sampled every 5 s: it must stay flat), and the time from launch to the
# window being mapped.
#   bench/app-vs-parecord.sh BUILD_DIR [SECONDS]
set -uo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)
support=$here/../tests/support
exec "$support/x-env.sh" --tray "$support/pulse-env.sh" bash -s "$build" "$seconds" <<'SCRIPT'
set -uo pipefail
[ "${WSX_TEST_PULSE:-}" = 1 ] && [ "${WSX_TEST_X:-}" = 1 ] || { echo "no X or sound server: nothing measured"; exit 1; }
build=$1; seconds=$2
work=$(mktemp -d)
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
ticks=$(getconf CLK_TCK)
cpu() { awk -v t="$ticks" '{ print ($14 + $15) / t }' "/proc/$1/stat"; }
rss() { awk '/^VmRSS:/ { print $2 / 1024 }' "/proc/$1/status"; }

start=$(date +%s.%N)
"$build/wanshengxia" >"$work/app.log" 2>&1 &
app=$!
win=$(xdotool search --sync --onlyvisible --name '^万声匣$' | head -1)
mapped=$(date +%s.%N)
trap 'kill $app 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
h=$(xdotool getwindowgeometry "$win" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
xdotool mousemove --window "$win" 286 $(( h - 135 + 121 )) click 1   # Record
/usr/bin/time -o "$work/peer.time" -f "%U %S" timeout -s INT "$seconds" \
  parecord --device=@DEFAULT_MONITOR@ --rate=22050 --channels=2 --file-format=wav "$work/peer.wav" &
peer=$!
c0=$(cpu $app)
samples=""
for i in $(seq 0 5 "$seconds"); do
  [ "$i" -gt 0 ] && sleep 5
  samples="$samples $(rss $app)"
done
c1=$(cpu $app)
wait $peer 2>/dev/null
pc=$(tail -1 "$work/peer.time" | awk '{ print $1 + $2 }')
awk -v a="$start" -v b="$mapped" 'BEGIN { printf "launch to mapped window: %.2f s\n", b - a }'
awk -v c="$c0" -v d="$c1" -v p="${pc:-0}" -v s="$seconds" 'BEGIN {
  printf "recorder CPU while recording with the animation: %.2f s = %.2f%% of a core\n", d - c, 100 * (d - c) / s
  printf "parecord CPU over the same %d s: %.2f s = %.2f%% of a core\n", s, p, 100 * p / s
  if (p > 0) printf "CPU ratio recorder/parecord: %.2f\n", (d - c) / p
}'
echo "recorder RSS every 5 s (MB):$samples"
SCRIPT
