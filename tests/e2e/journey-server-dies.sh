# The sound server goes away in the middle of a take: the program keeps running, and what
# was recorded before can still be saved.
source "$(dirname "$0")/lib.sh"
e2e_home
e2e_start_app
e2e_tone_start 440
e2e_press_record
e2e_until e2e_recording || e2e_fail "Record did not record"
sleep 2
[ -n "${WSX_TEST_SOUND_SERVER_PGID:-}" ] || e2e_fail "cannot find the sound server"
kill -9 -- "-$WSX_TEST_SOUND_SERVER_PGID"
E2E_TONE_PID=
sleep 2
kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "the program died with the sound server"
e2e_press_stop
e2e_shot journey-server-dies-stopped
target="$E2E_HOME/服务器 停止前.wav"
e2e_save_as "$target"
len=$(e2e_seconds "$target")
e2e_note "server killed after about 2 s; saved $len s of $(e2e_frequency "$target") Hz"
e2e_near "$len" 2.2 0.4 || e2e_fail "saved $len s, not what was recorded before the server died"
e2e_near "$(e2e_frequency "$target")" 440 5 || e2e_fail "the saved part is not the tone"
# Record again with no server: the program stays up and answers.
e2e_press_record
sleep 1
e2e_press_stop
kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "the program died recording without a server"
e2e_note "ok: still running"
# Both failures said why in the program's log, through Qt's wsx.audio category; debug lines
# stay off unless asked for.
log="$E2E_OUT/${E2E_NAME}-app.log"
grep -q '^wsx\.audio: capture stream broke: ' "$log" || e2e_fail "the broken stream was not logged: $(cat "$log")"
grep -q '^wsx\.audio: cannot record: no sound server at ' "$log" || e2e_fail "the failed record was not logged: $(cat "$log")"
grep -q 'connected to the sound server' "$log" && e2e_fail "debug lines by default: $(cat "$log")"
e2e_note "logged: $(grep '^wsx\.' "$log" | tr '\n' '|')"
