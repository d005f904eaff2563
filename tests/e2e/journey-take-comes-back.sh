# A take outlives the program. Killed with SIGKILL mid-take, the next start offers it back
# and 是 makes it the recording, which saves. Ended by SIGTERM, the program ends at once
# without a question and its unsaved take waits; 否 then 是 discards it for good.
source "$(dirname "$0")/lib.sh"
e2e_home
e2e_tone_start 440
e2e_start_app
e2e_press_record
e2e_until e2e_recording || e2e_fail "Record did not record"
sleep 2.5
kill -9 "$E2E_APP_PID"; wait "$E2E_APP_PID" 2>/dev/null; E2E_APP_PID=
[ "$(e2e_takes)" = 1 ] || e2e_fail "the killed take is not on disk ($(e2e_takes) takes)"

e2e_start_app
e2e_wait_box
e2e_shot journey-take-comes-back-question
e2e_keys "$E2E_DIALOG" alt+y
sleep 0.5
e2e_shot journey-take-comes-back-recovered
target="$E2E_HOME/找回的 录音.wav"
e2e_save_as "$target"
len=$(e2e_seconds "$target")
freq=$(e2e_frequency "$target")
e2e_note "killed after about 2.5 s; recovered and saved $len s of $freq Hz"
e2e_near "$len" 2.5 0.5 || e2e_fail "recovered $len s, not the 2.5 s recorded"
e2e_near "$freq" 440 5 || e2e_fail "the recovered sound is not the tone"

# More sound, then SIGTERM: the program ends promptly, without the close question.
e2e_press_record
e2e_until e2e_recording || e2e_fail "Record did not record into the recovered take"
sleep 1
kill -TERM "$E2E_APP_PID"
e2e_wait_exit "$E2E_APP_PID" 3; rc=$?
E2E_APP_PID=
[ "$rc" = 0 ] || e2e_fail "SIGTERM: exit code $rc (124: it did not end within 3 s)"
[ "$(e2e_takes)" = 1 ] || e2e_fail "the unsaved take did not outlive SIGTERM ($(e2e_takes) takes)"
e2e_note "SIGTERM ended it at once; its take waits"

e2e_start_app
e2e_wait_box
e2e_keys "$E2E_DIALOG" alt+n
sleep 0.3
e2e_wait_box   # the second question, once the first has gone
e2e_shot journey-take-comes-back-discard
e2e_keys "$E2E_DIALOG" alt+y
sleep 0.5
[ "$(e2e_takes)" = 0 ] || e2e_fail "否 then 是 left the take on disk"
e2e_keys "$E2E_WIN" ctrl+x
e2e_wait_exit "$E2E_APP_PID" 5 || e2e_fail "an empty window did not close at once"
E2E_APP_PID=
e2e_note "ok: discarded, nothing left"
