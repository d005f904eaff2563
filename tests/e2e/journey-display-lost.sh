# The display goes away mid-take (an X server that dies, a session that breaks): the
# program ends at once, its take is left complete, and the next start offers it back.
source "$(dirname "$0")/lib.sh"
e2e_home
e2e_tone_start 440
# A display of the program's own that can be taken away: Xvfb picks a free number.
Xvfb -displayfd 9 -screen 0 640x480x24 -nolisten tcp 9>"$E2E_HOME/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do [ -s "$E2E_HOME/display" ] && break; sleep 0.1; done
lost=:$(cat "$E2E_HOME/display")
[ "$lost" != : ] || e2e_fail "the second Xvfb did not start"
DISPLAY=$lost "$WSX_BIN" >"$E2E_OUT/${E2E_NAME}-lost-app.log" 2>&1 &
app=$!
for _ in $(seq 100); do
  DISPLAY=$lost xdotool search --onlyvisible --name '^万声匣$' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 0.5
DISPLAY=$lost xdotool key ctrl+alt+Down
e2e_until e2e_recording || { kill -9 "$xvfb" "$app"; e2e_fail "the hot key did not record"; }
sleep 1.5
kill -9 "$xvfb"
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && { kill -9 "$app"; e2e_fail "the program outlived its display by 5 s"; }
wait "$app" 2>/dev/null
[ "$(e2e_takes)" = 1 ] || e2e_fail "no take was left ($(e2e_takes))"
e2e_note "display killed after about 1.5 s: the program ended, its take stayed"

e2e_start_app
e2e_wait_box
e2e_shot journey-display-lost-question
e2e_keys "$E2E_DIALOG" alt+y
target="$E2E_HOME/显示断开前.wav"
e2e_save_as "$target"
len=$(e2e_seconds "$target")
freq=$(e2e_frequency "$target")
e2e_note "recovered $len s of $freq Hz"
e2e_near "$len" 1.5 0.5 || e2e_fail "recovered $len s, not the 1.5 s recorded"
e2e_near "$freq" 440 5 || e2e_fail "the recovered sound is not the tone"
