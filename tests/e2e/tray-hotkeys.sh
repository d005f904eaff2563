# Minimise to the tray, record, stop and play with the global hot keys while hidden, bring
# the window back with a double click on the tray icon, record from the tray menu, and free
# the keys on exit.
source "$(dirname "$0")/lib.sh"
GRABKEYS=${GRABKEYS:-$PWD/grabkeys}
e2e_home
e2e_start_wm
e2e_start_app
"$GRABKEYS" >/dev/null && e2e_fail "the hot keys are not held while the recorder runs"

xdotool windowminimize "$E2E_WIN"
e2e_until e2e_hidden || e2e_fail "minimising did not hide the window"
e2e_note "minimised: hidden"

e2e_tone_start 440
xdotool key ctrl+alt+Down
e2e_until e2e_recording || e2e_fail "Ctrl+Alt+Down did not start recording"
sleep 2
xdotool key ctrl+alt+Up
e2e_until e2e_not_recording || e2e_fail "Ctrl+Alt+Up did not stop recording"
e2e_tone_stop
xdotool key ctrl+alt+Right
e2e_until e2e_playing || e2e_fail "Ctrl+Alt+Right did not start playback"
e2e_capture "$E2E_OUT/hotkey-playback.wav" 1.5
freq=$(e2e_frequency "$E2E_OUT/hotkey-playback.wav")
e2e_near "$freq" 440 5 || e2e_fail "hot-key playback is ${freq} Hz, not 440"
e2e_hidden || e2e_fail "the window came back during hot-key use"
e2e_note "hot keys while hidden: recorded and played 440 Hz"
e2e_shot tray-hotkeys-hidden

icon=$(e2e_tray_icon) || e2e_fail "no tray icon docked"
import -window "$icon" "$E2E_OUT/tray-icon.png" 2>/dev/null

# Wait for the 2 s take to finish playing: the tray menu's enabled items depend on it.
for _ in $(seq 50); do e2e_playing || break; sleep 0.1; done
e2e_playing && e2e_fail "playback of the 2 s take did not end"
sleep 0.3
e2e_click_window "$icon" 3
sleep 0.5
e2e_shot tray-menu
# Keys, not the pointer, pick the item: move the pointer off the menu so no item is under
# it; the enabled items from the top are then 显示声匣, 声匣热键一览, 录音, ...
xdotool mousemove 10 790
sleep 0.3
xdotool key Down Down Down Return
e2e_until e2e_recording || e2e_fail "choosing 录音 in the tray menu did not record"
e2e_hidden || e2e_fail "the tray menu brought the window back"
e2e_note "tray menu 录音 while hidden: recording"
xdotool key ctrl+alt+Up
e2e_until e2e_not_recording || e2e_fail "Ctrl+Alt+Up did not stop the second take"

e2e_click_window "$icon" 1 2
e2e_until e2e_viewable || e2e_fail "a double click on the tray icon did not restore the window"
e2e_note "double click on the icon: window restored"

xdotool windowfocus --sync "$E2E_WIN" key ctrl+x
sleep 0.5
xdotool key Escape  # the unsaved-changes question: cancel
sleep 0.5
kill -0 "$E2E_APP_PID" || e2e_fail "Cancel in the close question ended the program"
xdotool windowfocus --sync "$E2E_WIN" key ctrl+x
sleep 0.5
xdotool key alt+n  # 否(N): discard and exit
e2e_wait_exit "$E2E_APP_PID" 10 || e2e_fail "the program did not end after 否"
"$GRABKEYS" || e2e_fail "the hot keys are still held after exit"
e2e_note "after exit another program can take the keys"
