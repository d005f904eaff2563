# The sound server stalls in the middle of a take (its sink suspended for 3 s, as a server
# that hangs or a laptop's audio that sleeps): the take keeps the time, with silence where
# nothing came, and the user is told once, in a box while the window is shown.
source "$(dirname "$0")/lib.sh"
command -v pactl >/dev/null || { echo "SKIP: pactl is not installed"; exit 77; }
e2e_home
e2e_start_app
e2e_tone_start 440
e2e_press_record
e2e_until e2e_recording || e2e_fail "Record did not record"
start=$(date +%s.%N)
sleep 1.5
pactl suspend-sink testsink 1 || e2e_fail "cannot suspend the sink"
sleep 3
pactl suspend-sink testsink 0
e2e_wait_box
e2e_shot journey-sink-stalls-told
e2e_keys "$E2E_DIALOG" Return
sleep 1
e2e_press_stop
e2e_until e2e_not_recording || e2e_fail "Stop did not stop"
wall=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
log="$E2E_OUT/${E2E_NAME}-app.log"
grep -q '^wsx\.window: 录音中有 3 秒没有收到声音，这段用静音补上了。$' "$log" ||
  e2e_fail "the stall was not told: $(cat "$log")"
target="$E2E_HOME/停顿.wav"
e2e_save_as "$target"
len=$(e2e_seconds "$target")
quiet=$(sox "$target" -n trim 2.0 =4.2 stat 2>&1 | sed -n 's/^Maximum amplitude: *//p')
e2e_note "recorded for about $wall s of wall time; saved $len s, peak $quiet where the sink slept"
e2e_near "$len" "$wall" 0.3 || e2e_fail "saved $len s for $wall s of recording"
e2e_near "$quiet" 0 0.01 || e2e_fail "the stall is not silent"
sox "$target" "$E2E_HOME/before.wav" trim 0.3 =1.2
e2e_near "$(e2e_frequency "$E2E_HOME/before.wav")" 440 5 || e2e_fail "no tone before the stall"
e2e_note "ok: told once, the take kept the time"
