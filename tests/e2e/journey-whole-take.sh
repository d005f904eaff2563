# A whole take as a person makes it: first start registers the autostart entry with the box
# ticked; a 3 s tone recorded by hot key while the window is hidden; stop; play to the end
# (the window returns to stopped); seek to the middle with the slider; delete everything
# after it; Save As to a path with blanks and Chinese; the file holds exactly what remains.
source "$(dirname "$0")/lib.sh"
e2e_home
e2e_start_wm
e2e_start_app
entry="$XDG_CONFIG_HOME/autostart/wanshengxia-run-record.desktop"
grep -q '^Exec=' "$entry" || e2e_fail "first start: no enabled autostart entry"

xdotool windowminimize "$E2E_WIN"
e2e_until e2e_hidden || e2e_fail "minimising did not hide the window"
e2e_tone_start 440
xdotool key ctrl+alt+Down
e2e_until e2e_recording || e2e_fail "Ctrl+Alt+Down did not record"
sleep 3
xdotool key ctrl+alt+Up
e2e_until e2e_not_recording || e2e_fail "Ctrl+Alt+Up did not stop"
e2e_tone_stop
xdotool key ctrl+alt+Right
e2e_until e2e_playing || e2e_fail "Ctrl+Alt+Right did not play"
for _ in $(seq 60); do e2e_playing || break; sleep 0.1; done
e2e_playing && e2e_fail "playback did not end"
e2e_note "recorded 3 s by hot key while hidden, played to the end"

icon=$(e2e_tray_icon) || e2e_fail "no tray icon"
e2e_click_window "$icon" 1 2
e2e_until e2e_viewable || e2e_fail "double click did not restore the window"
# At the end of playback Play is offered again: a click plays from the start, to the end,
# and leaves the slider's thumb at its right end.
e2e_press_play
e2e_until e2e_playing || e2e_fail "the window did not return to stopped at the end of playback"
for _ in $(seq 60); do e2e_playing || break; sleep 0.1; done
sleep 0.3

e2e_drag_slider_from_end 200
e2e_shot journey-whole-take-seeked
e2e_keys "$E2E_WIN" alt+e
xdotool key b
e2e_wait_box
xdotool key alt+y
sleep 0.5
e2e_shot journey-whole-take-cut

target="$E2E_HOME/我的 录音 $(date +%s)/整段 录音.wav"
mkdir -p "$(dirname "$target")"
e2e_save_as "$target"
samples=$(soxi -s "$target"); freq=$(e2e_frequency "$target")
e2e_note "saved after the cut: $samples samples ($(e2e_seconds "$target") s), $freq Hz"
# The slider seeks whole seconds, so what remains is a whole number of seconds, less than
# the take, and all tone.
[ $(( samples % 22050 )) = 0 ] && [ "$samples" -gt 0 ] && [ "$samples" -lt $(( 22050 * 3 )) ] ||
  e2e_fail "the file holds $samples samples, not the whole seconds before the cut"
e2e_near "$freq" 440 5 || e2e_fail "saved sound is $freq Hz"
min=$(sox "$target" -n remix - trim 0.1 -0.1 stat 2>&1 | sed -n 's/^RMS *amplitude: *//p')
e2e_near "$min" 0.35 0.1 || e2e_fail "the kept part is not the steady tone (RMS $min)"
e2e_note "ok"
