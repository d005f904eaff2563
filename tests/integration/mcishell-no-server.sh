#!/usr/bin/env bash
# mcishell with no sound server: standard output answers exactly as always (scripts parse
# it), and each failed command says why on standard error beside its code: the audio
# layer's cause for the record, the engine's errno text for the save. Nothing else there.
#   mcishell-no-server.sh BUILD_DIR
set -uo pipefail
build=$1
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state PULSE_SERVER=unix:/nonexistent/wsx-no-server/native
unset WSX_DEBUG
fail() { echo "FAIL: $*"; echo "--- stdout"; cat "$work/out"; echo "--- stderr"; cat "$work/err"; exit 1; }

printf '%s\n' "open new type waveaudio alias A" "record A" "status A mode" \
  "save A \"$work/no such folder/x.wav\"" "close A" | "$build/mcishell" >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" = 1 ] || fail "exit code $rc, not 1"
printf '0 "1"\n328\n0 "stopped"\n286\n0\n' | cmp -s - "$work/out" || fail "standard output changed"
grep -qx "mcishell: 328: cannot record: no sound server at $PULSE_SERVER: Connection refused" "$work/err" ||
  fail "no cause beside 328"
grep -qx "mcishell: 286: cannot save $work/no such folder/x.wav: no such folder: No such file or directory" "$work/err" ||
  fail "no cause beside 286"
[ "$(wc -l <"$work/err")" = 2 ] || fail "standard error holds more than the two causes"
echo "ok: $(tr '\n' '|' <"$work/err")"
