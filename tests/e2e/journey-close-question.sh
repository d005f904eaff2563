# Record, then close: the question comes up; Cancel keeps the window and the recording
# going; closing again and answering 否 ends the program and leaves nothing behind.
source "$(dirname "$0")/lib.sh"
e2e_home
e2e_start_app
e2e_press_record
e2e_until e2e_recording || e2e_fail "Record did not record"
sleep 1
e2e_keys "$E2E_WIN" ctrl+x
e2e_wait_box
e2e_until e2e_not_recording || e2e_fail "recording went on while the question was open"
xdotool key Escape
sleep 0.5
kill -0 "$E2E_APP_PID" 2>/dev/null || e2e_fail "Cancel ended the program"
e2e_until e2e_recording || e2e_fail "Cancel did not resume the recording"
e2e_note "Cancel: still open, recording again"
e2e_keys "$E2E_WIN" ctrl+x
e2e_wait_box
xdotool key alt+n
e2e_wait_exit "$E2E_APP_PID" 10 || e2e_fail "否 did not end the program"
leftover=$(find "$XDG_STATE_HOME" -type f | wc -l)
[ "$leftover" = 0 ] || e2e_fail "$leftover take files left after exit"
e2e_note "否: program ended, spool removed"
