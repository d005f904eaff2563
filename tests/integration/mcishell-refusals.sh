#!/usr/bin/env bash
# mcishell without a sound server: a record that cannot start says "noserver" and leaves
# the element stopped with no take on disk; a "wait" that is not a plain non-negative
# decimal is refused on stderr while the script goes on.
#   mcishell-refusals.sh BUILD_DIR
set -uo pipefail
build=$1
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export XDG_STATE_HOME=$work/state PULSE_SERVER=unix:$work/no-such-socket PULSE_RUNTIME_PATH=$work/run
out=$(printf '%s\n' 'open new type waveaudio alias A' 'record A' 'status A reason' 'status A mode' \
  'wait -1' 'wait 1e3' 'wait 1.5' 'wait +5' 'wait' 'wait 5' 'close A' | "$build/mcishell" 2>"$work/err")
rc=$?
expected=$'0 "1"\n328\n0 "noserver"\n0 "stopped"\n0'
[ "$out" = "$expected" ] || fail "answers were: $out"
[ "$rc" = 1 ] || fail "exit status $rc"
refused=$(grep -c '^mcishell: wait takes' "$work/err")
[ "$refused" = 5 ] || fail "$refused waits refused, not 5: $(cat "$work/err")"
[ -z "$(ls -A "$XDG_STATE_HOME/wanshengxia" 2>/dev/null)" ] || fail "a take was left: $(ls -R "$XDG_STATE_HOME")"
echo "ok"
