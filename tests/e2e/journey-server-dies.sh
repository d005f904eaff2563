# The sound server goes away in the middle of a take: the program keeps running, stops the
# take by itself and says why; what was recorded before can still be saved; Record with no
# server says it cannot and changes nothing.
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
e2e_wait_box
e2e_shot journey-server-dies-told
kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "the program died with the sound server"
e2e_keys "$E2E_DIALOG" Return
log="$E2E_OUT/${E2E_NAME}-app.log"
grep -q '^wsx\.window: 录音停止了：与声音服务器的连接中断了。已经录下的 00:0[23] 都保留着' "$log" ||
  e2e_fail "the stopped take was not told as such: $(cat "$log")"
target="$E2E_HOME/服务器 停止前.wav"
e2e_save_as "$target"
len=$(e2e_seconds "$target")
e2e_note "server killed after about 2 s; saved $len s of $(e2e_frequency "$target") Hz"
e2e_near "$len" 2.2 0.4 || e2e_fail "saved $len s, not what was recorded before the server died"
e2e_near "$(e2e_frequency "$target")" 440 5 || e2e_fail "the saved part is not the tone"
# Record again with no server: the program says it cannot and stays stopped.
e2e_press_record
e2e_wait_box
e2e_shot journey-server-dies-no-server
e2e_keys "$E2E_DIALOG" Return
kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "the program died recording without a server"
grep -q '^wsx\.window: 无法开始录音：没有找到声音服务器（PulseAudio 或 PipeWire）。' "$log" ||
  e2e_fail "the failed record was not told: $(cat "$log")"
e2e_note "ok: still running, told both times"
# Both failures said why in the program's log, through Qt's wsx.audio category; debug lines
# stay off unless asked for.
grep -q '^wsx\.audio: capture stream broke: ' "$log" || e2e_fail "the broken stream was not logged: $(cat "$log")"
grep -q '^wsx\.audio: cannot record: no sound server at ' "$log" || e2e_fail "the failed record was not logged: $(cat "$log")"
grep -q 'connected to the sound server' "$log" && e2e_fail "debug lines by default: $(cat "$log")"
e2e_note "logged: $(grep '^wsx\.' "$log" | tr '\n' '|')"
