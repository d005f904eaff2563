#!/usr/bin/env bash
# 30 s capture at 22050 Hz stereo from the null sink's monitor, mcishell and parecord side
# by side in the same run on the same private sound server: CPU seconds and peak RSS.
#   bench/capture-vs-parecord.sh BUILD_DIR [SECONDS]
set -uo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../tests/support/pulse-env.sh" bash -s "$build" "$seconds" <<'SCRIPT'
set -uo pipefail
[ "${WSX_TEST_PULSE:-}" = 1 ] || { echo "no sound server: nothing measured"; exit 1; }
build=$1; seconds=$2
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
fmt="%U %S %M"   # user s, system s, max RSS KiB
/usr/bin/time -o "$work/ours" -f "$fmt" "$build/mcishell" >/dev/null <<MCI &
open new type waveaudio alias A
set A time format ms bitspersample 16 samplespersec 22050 channels 2
record A overwrite
wait $(( seconds * 1000 ))
pause A
save A "$work/ours.wav"
close A
MCI
ours=$!
/usr/bin/time -o "$work/peer" -f "$fmt" timeout -s INT "$seconds" \
  parecord --device=@DEFAULT_MONITOR@ --rate=22050 --channels=2 --format=s16le --file-format=wav "$work/peer.wav" &
peer=$!
wait $ours $peer
read -r ou os om <"$work/ours"; read -r pu ps pm < <(tail -1 "$work/peer")
awk -v ou="$ou" -v os="$os" -v om="$om" -v pu="$pu" -v ps="$ps" -v pm="$pm" -v s="$seconds" \
    -v ol="$(soxi -D "$work/ours.wav")" -v pl="$(soxi -D "$work/peer.wav")" 'BEGIN {
  printf "%-10s %8s %8s %10s %9s\n", "", "CPU s", "% core", "peak RSS", "recorded"
  printf "%-10s %8.2f %8.2f %7.1f MB %8.2fs\n", "mcishell", ou+os, 100*(ou+os)/s, om/1024, ol
  printf "%-10s %8.2f %8.2f %7.1f MB %8.2fs\n", "parecord", pu+ps, 100*(pu+ps)/s, pm/1024, pl
  if (pu+ps > 0) printf "CPU ratio mcishell/parecord: %.2f\n", (ou+os)/(pu+ps)
}'
SCRIPT
