#!/usr/bin/env bash
# mcishell against a real sound server: a scripted recording timed by "wait" and one ended
# by hand. "record A to 1500 wait" must take the wall time of the recording and save 1.5 s;
# Ctrl+C (SIGINT) during "record A wait" must end only the wait, keeping what was recorded,
# so the next line saves it; a Ctrl+C while nothing waits still ends mcishell.
#   mcishell-wait.sh BUILD_DIR      (exit 77: skipped)
set -uo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
command -v soxi >/dev/null || { echo "SKIP: soxi is not installed"; exit 77; }
exec "$here/../support/pulse-env.sh" bash -s "$build" <<'SCRIPT'
set -uo pipefail
[ "${WSX_TEST_PULSE:-}" = 1 ] || { echo "SKIP: no sound server could start"; exit 77; }
build=$1
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state
fail() { echo "FAIL: $*"; exit 1; }
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { exit !(a - b <= t && b - a <= t) }'; }

# A timed recording, the whole script at once.
start=$(date +%s%N)
out=$(printf '%s\n' 'open new type waveaudio alias A' \
  'set A bitspersample 16 samplespersec 44100 channels 2' \
  'record A to 1500 wait notify' "save A \"$work/timed.wav\"" 'close A' |
  "$build/mcishell" 2>"$work/err")
took=$(( ($(date +%s%N) - start) / 1000000 ))
expected=$'0 "1"\n0\n0\nnotify A successful\n0\n0'
[ "$out" = "$expected" ] || fail "timed script answered: $out; $(cat "$work/err")"
len=$(soxi -D "$work/timed.wav")
echo "timed: the script took $took ms; saved $len s"
near "$len" 1.5 0.0001 || fail "saved $len s, not 1.5 s"
[ "$took" -ge 1400 ] || fail "record to 1500 wait returned after $took ms"

# A recording ended by hand: the wait is interrupted, the script goes on and saves it.
# (A job started with & ignores SIGINT unless told otherwise; a terminal's would not.)
mkfifo "$work/in"
env --default-signal=INT "$build/mcishell" <"$work/in" >"$work/out" 2>"$work/err" &
shell=$!
exec 7>"$work/in"
printf '%s\n' 'open new type waveaudio alias A' 'record A wait notify' >&7
sleep 1.2
kill -INT $shell
printf '%s\n' 'status A mode' "save A \"$work/by-hand.wav\"" >&7
for _ in $(seq 50); do [ -s "$work/by-hand.wav" ] && break; sleep 0.1; done
sleep 0.2
kill -INT $shell  # not waiting now: ends mcishell as the signal always did
wait $shell; rc=$?
exec 7>&-
expected=$'0 "1"\n0\nnotify A aborted\n0 "stopped"\n0'
[ "$(cat "$work/out")" = "$expected" ] || fail "interrupted script answered: $(cat "$work/out")"
grep -q '^mcishell: interrupted: record A wait notify$' "$work/err" ||
  fail "standard error did not tell of the interruption: $(cat "$work/err")"
[ "$rc" = 130 ] || fail "the second Ctrl+C ended mcishell with $rc, not 130"
len=$(soxi -D "$work/by-hand.wav")
echo "by hand: saved $len s after 1.2 s of recording"
near "$len" 1.2 0.35 || fail "saved $len s, not about 1.2 s"
[ -n "$(ls -A "$XDG_STATE_HOME/wanshengxia" 2>/dev/null)" ] ||
  fail "the take of the ended mcishell is gone"
echo "ok"
SCRIPT
