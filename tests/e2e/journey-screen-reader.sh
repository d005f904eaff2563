# The window as a screen reader and a keyboard user meet it. Through the accessibility bus
# (at-spi2-core) every control of the main window, the hot-key overview and the About box
# has a name, and the slider reads as mm:ss. Then a take by keyboard alone: Tab to Record,
# Space, two tones one after the other, Stop, seek with the slider's keys past the first
# tone, Play: what plays is the second tone only, so playback starts where the keys put it.
source "$(dirname "$0")/lib.sh"
e2e_home
e2e_start_bus
e2e_start_atspi
e2e_start_app
pid=$E2E_APP_PID

e2e_atspi names "$pid" 万声匣 >"$E2E_OUT/$E2E_NAME-main.txt" 2>&1 ||
  e2e_fail "the main window: $(tail -n 5 "$E2E_OUT/$E2E_NAME-main.txt")"
for name in 录音 停止 播放 当前位置 "音频：11025HZ" "声道：立体声" 电平; do
  grep -q "'$name'" "$E2E_OUT/$E2E_NAME-main.txt" || e2e_fail "no control named $name"
done
[ "$(e2e_atspi describe "$pid" 当前位置)" = 00:00 ] || e2e_fail "the slider does not read 00:00"
e2e_note "main window: every control named"

# The overview (帮助 > 声匣热键一览: the second item) and About (帮助 > 关于声匣(A)).
e2e_keys "$E2E_WIN" alt+h
sleep 0.3
xdotool key Down Return  # the menu opens on 帮助主题; the next item is the overview
e2e_wait_dialog 声匣热键一览
e2e_atspi names "$pid" 声匣热键一览 >"$E2E_OUT/$E2E_NAME-overview.txt" 2>&1 ||
  e2e_fail "the overview: $(tail -n 5 "$E2E_OUT/$E2E_NAME-overview.txt")"
grep -q "image: 'Down'\|image: '下方向'\|image: '下'" "$E2E_OUT/$E2E_NAME-overview.txt" ||
  e2e_fail "the overview's arrow for 录音 is not named after its key"
e2e_keys "$E2E_DIALOG" Escape
e2e_keys "$E2E_WIN" alt+h
xdotool key a
e2e_wait_dialog '关于 万声匣'
e2e_atspi names "$pid" '关于 万声匣' >"$E2E_OUT/$E2E_NAME-about.txt" 2>&1 ||
  e2e_fail "About: $(tail -n 5 "$E2E_OUT/$E2E_NAME-about.txt")"
e2e_keys "$E2E_DIALOG" Escape
e2e_note "overview and About: every control named"

# Tabs to the control named $1 (at most a round of the window's controls).
tab_to() {
  for _ in $(seq 15); do
    [ "$(e2e_atspi focused "$pid")" = "$1" ] && return 0
    e2e_keys "$E2E_WIN" Tab
  done
  e2e_fail "Tab never reached $1 (focus on '$(e2e_atspi focused "$pid")')"
}

e2e_tone_start 440
tab_to 录音
e2e_keys "$E2E_WIN" space
e2e_until e2e_recording || e2e_fail "Space on 录音 did not record"
sleep 2
e2e_tone_stop
e2e_tone_start 880
sleep 2.5
# Record hands the focus to Stop.
[ "$(e2e_atspi focused "$pid")" = 停止 ] || e2e_fail "the focus is not on 停止 while recording"
e2e_keys "$E2E_WIN" space
e2e_until e2e_not_recording || e2e_fail "Space on 停止 did not stop"
e2e_tone_stop
e2e_shot "$E2E_NAME-recorded"

# The first tone and the gap after it lie before second 4.
tab_to 当前位置
e2e_keys "$E2E_WIN" Home Right Right Right Right
sleep 0.5
position=$(e2e_atspi describe "$pid" 当前位置)
[ "$position" = 00:04 ] || e2e_fail "the slider reads '$position' after Home and four Rights"
e2e_shot "$E2E_NAME-seeked"
tab_to 播放
e2e_capture "$E2E_OUT/$E2E_NAME-played.wav" 3 &
capture=$!
sleep 0.3
e2e_keys "$E2E_WIN" space
wait "$capture"
frequency=$(e2e_frequency "$E2E_OUT/$E2E_NAME-played.wav")
e2e_near "$frequency" 880 60 || e2e_fail "playback from second 4 sounded at $frequency Hz, not 880"
e2e_note "keyboard only: recorded, sought to 00:04 and played the second tone ($frequency Hz)"
