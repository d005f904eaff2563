#!/usr/bin/env bash
# mcishell says why beside each failure whose cause it knows: a folder for takes it cannot
# make (262), a file that is no WAV it takes and a take that cannot be opened (296), a folder
# that is no take (275). A take with a FIFO for its journal is refused at once, not waited on.
#   mcishell-causes.sh BUILD_DIR
set -uo pipefail
build=$1
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; echo "--- stdout"; cat "$work/out"; echo "--- stderr"; cat "$work/err"; exit 1; }
export PULSE_SERVER=unix:/nonexistent/wsx-no-server/native XDG_STATE_HOME=$work/state-is-a-file
unset WSX_DEBUG
: >"$XDG_STATE_HOME"
echo "not a wav" >"$work/x.wav"
take=$work/take-fifo
mkdir "$take" "$work/plain"
printf 'wanshengxia take 1\nrate 8000\nbits 16\nchannels 1\n' >"$take/format"
: >"$take/sound"
mkfifo "$take/journal"

printf '%s\n' "open new type waveaudio alias A" "record A" "open \"$work/x.wav\" alias W" \
  "open \"$take\" type waveaudio alias T" "open \"$work/plain\" type waveaudio alias P" |
  timeout 20 "$build/mcishell" >"$work/out" 2>"$work/err"
[ $? != 124 ] || fail "mcishell hung"
printf '0 "1"\n262\n296\n296\n275\n' | cmp -s - "$work/out" || fail "standard output changed"
grep -q "^mcishell: 262: cannot record: cannot make a take in $XDG_STATE_HOME/wanshengxia: Not a directory$" "$work/err" ||
  fail "no cause beside 262"
grep -qx "mcishell: 296: cannot open $work/x.wav: it is not a PCM WAV file in a format this recorder takes" "$work/err" ||
  fail "no cause beside the file's 296"
grep -qx "mcishell: 296: cannot open the take $take: journal is a FIFO" "$work/err" ||
  fail "no cause beside the take's 296"
grep -qx "mcishell: 275: cannot open $work/plain: it is not a take folder of this recorder" "$work/err" ||
  fail "no cause beside 275"
[ -p "$take/journal" ] && [ -f "$take/sound" ] || fail "the refused take was changed"
echo "ok: $(tr '\n' '|' <"$work/err")"
