# Other keys for the hot keys, chosen the way a user does: 声匣热键一览 → 更改热键 → new
# combinations typed into the three editors → Return. The recorder lets the arrows go at
# once and grabs the new keys: they record, stop and play; the old ones do nothing. The
# overview lists the new keys, and the next start keeps them.
source "$(dirname "$0")/lib.sh"
GRABKEYS=${GRABKEYS:-$PWD/grabkeys}
e2e_home
e2e_start_app
"$GRABKEYS" >/dev/null && e2e_fail "the standard hot keys are not held while the recorder runs"

# The overview from the Help menu: the menu opens on 帮助主题, the next item is the overview.
open_overview() {
  e2e_keys "$E2E_WIN" alt+h
  sleep 0.3
  xdotool key Down Return
  e2e_wait_dialog 声匣热键一览
  E2E_OVERVIEW=$E2E_DIALOG
  sleep 0.3
}
open_overview
e2e_keys "$E2E_OVERVIEW" alt+c
e2e_wait_dialog 更改声匣热键
sleep 0.3
e2e_shot hotkeys-other-chooser
# The chooser opens on 录音; Tab goes on to 停止, then 播放; Return is 确定. The old keys
# are let go while it is open, or typing Ctrl+Alt+Down here would start a recording.
"$GRABKEYS" >/dev/null || e2e_fail "the hot keys stay grabbed while new ones are typed"
e2e_keys "$E2E_DIALOG" ctrl+shift+r Tab ctrl+shift+s Tab ctrl+shift+p
e2e_shot hotkeys-other-typed
xdotool key Return
for _ in $(seq 30); do xdotool search --onlyvisible --name '^更改声匣热键$' >/dev/null 2>&1 || break; sleep 0.1; done
xdotool search --onlyvisible --name '^更改声匣热键$' >/dev/null 2>&1 && e2e_fail "Return did not close the chooser"
sleep 0.3
e2e_shot hotkeys-other-overview
"$GRABKEYS" >/dev/null || e2e_fail "the arrows are still held after other keys were chosen"
e2e_keys "$E2E_OVERVIEW" Escape
ini=$XDG_CONFIG_HOME/wanshengxia/wanshengxia.ini
grep -q '^record=Ctrl+Shift+R$' "$ini" && grep -q '^stop=Ctrl+Shift+S$' "$ini" &&
  grep -q '^play=Ctrl+Shift+P$' "$ini" || e2e_fail "the chosen keys are not kept: $(cat "$ini")"
e2e_note "chosen in the overview: Ctrl+Shift+R/S/P kept, the arrows let go"

e2e_tone_start 440
xdotool key ctrl+alt+Down
sleep 1
e2e_recording && e2e_fail "the old record key still records"
xdotool key ctrl+shift+r
e2e_until e2e_recording || e2e_fail "Ctrl+Shift+R did not start recording"
sleep 2
xdotool key ctrl+alt+Up
sleep 0.5
e2e_recording || e2e_fail "the old stop key still stops"
xdotool key ctrl+shift+s
e2e_until e2e_not_recording || e2e_fail "Ctrl+Shift+S did not stop recording"
e2e_tone_stop
xdotool key ctrl+shift+p
e2e_until e2e_playing || e2e_fail "Ctrl+Shift+P did not start playback"
e2e_capture "$E2E_OUT/other-keys-playback.wav" 1.5
freq=$(e2e_frequency "$E2E_OUT/other-keys-playback.wav")
e2e_near "$freq" 440 5 || e2e_fail "playback with the new keys is ${freq} Hz, not 440"
e2e_note "the new keys recorded, stopped and played 440 Hz; the old ones did nothing"
for _ in $(seq 50); do e2e_playing || break; sleep 0.1; done

# The next start grabs the kept keys, not the arrows.
e2e_stop_app
rm -rf "$XDG_STATE_HOME/wanshengxia"  # the unsaved take of the first run: not this journey's
e2e_start_app
"$GRABKEYS" >/dev/null || e2e_fail "the next start grabbed the arrows again"
xdotool key ctrl+shift+r
e2e_until e2e_recording || e2e_fail "after a restart Ctrl+Shift+R did not record"
e2e_note "the next start uses the kept keys"
