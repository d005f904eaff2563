#!/usr/bin/env bash
# The recorder itself, tray icon animating, recording 30 s from the null sink's monitor,
# beside parecord recording the same monitor in the same run: CPU and resident memory
# (sampled every 5 s: it must stay flat), and the time from launch to the window being
# mapped. Then the same again for another 30 s with the window minimised to the tray (the
# usual case with hot keys), parecord's CPU taken over each half.
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

printf 'IconifyByUnmapping\nNoTitle\n' >"$work/twmrc"
LC_ALL=C twm -f "$work/twmrc" >/dev/null 2>&1 &
wm=$!
start=$(date +%s.%N)
"$build/wanshengxia" >"$work/app.log" 2>&1 &
app=$!
win=$(xdotool search --sync --onlyvisible --name '^万声匣$' | head -1)
mapped=$(date +%s.%N)
trap 'kill $app $wm 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
h=$(xdotool getwindowgeometry "$win" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
xdotool mousemove --window "$win" 286 $(( h - 135 + 121 )) click 1   # Record
parecord --device=@DEFAULT_MONITOR@ --rate=22050 --channels=2 --file-format=wav "$work/peer.wav" &
peer=$!
c0=$(cpu $app)
samples=""
for i in $(seq 0 5 "$seconds"); do
  [ "$i" -gt 0 ] && sleep 5
  samples="$samples $(rss $app)"
done
c1=$(cpu $app)
peerpid=$peer
p1=$(cpu $peerpid)
xdotool windowminimize "$win"
sleep 1
c2=$(cpu $app); p2=$(cpu $peerpid)
sleep "$seconds"
c3=$(cpu $app); p3=$(cpu $peerpid)
hidden=no; xwininfo -id "$win" | grep -q IsViewable || hidden=yes
kill -INT $peerpid 2>/dev/null; wait $peer 2>/dev/null
awk -v a="$start" -v b="$mapped" 'BEGIN { printf "launch to mapped window (xdotool --sync polls in 0.5 s steps; bench/startup.sh measures finely): %.2f s\n", b - a }'
echo "recorder RSS every 5 s (MB):$samples"
awk -v c="$c1" -v d="$c0" -v p="$p1" -v s="$seconds" -v e="$c3" -v f="$c2" -v q="$p3" -v r="$p2" -v h="$hidden" 'BEGIN {
  printf "shown:  recorder %.2f%% of a core, parecord (from /proc) %.2f%% over the same %d s: %.2fx\n", 100 * (c - d) / s, 100 * p / s, s, (p > 0) ? (c - d) / p : 0
  printf "hidden: recorder %.2f%% of a core, parecord %.2f%% over the next %d s: %.2fx (window hidden: %s)\n", 100 * (e - f) / s, 100 * (q - r) / s, s, (q - r > 0) ? (e - f) / (q - r) : 0, h
}'
SCRIPT
