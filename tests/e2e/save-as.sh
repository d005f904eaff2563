# Save As through the real file dialog to a path with a blank and Chinese characters (typed
# without ".wav": the dialog adds it), check the file with sox; then close with unsaved
# changes, answer the real question with 是, and save over the same file.
source "$(dirname "$0")/lib.sh"
e2e_home
folder="$E2E_HOME/我的 录音"
mkdir -p "$folder"
target="$folder/第一 次.wav"

e2e_record_new_take 440 3

e2e_save_as "$target" typed-without-extension
len=$(e2e_seconds "$target"); freq=$(e2e_frequency "$target")
e2e_note "saved: $len s, $freq Hz, $(soxi -r "$target") Hz, $(soxi -c "$target") channels"
# Three seconds between the clicks, plus the time the clicks themselves take.
e2e_near "$len" 3.4 0.4 || e2e_fail "saved $len s, not about 3"
first=$len
e2e_near "$freq" 440 5 || e2e_fail "saved sound is $freq Hz"
[ "$(soxi -r "$target")" = 22050 ] && [ "$(soxi -c "$target")" = 2 ] || e2e_fail "not 22050 Hz stereo"

# One more second, unsaved; closing asks, 是 saves under the same name (replacing it).
e2e_tone_start 440
e2e_press_record
sleep 1
e2e_press_stop
e2e_tone_stop
e2e_keys "$E2E_WIN" ctrl+x
e2e_wait_box
e2e_shot close-question
xdotool key alt+y
e2e_wait_dialog 另存为
xdotool windowfocus --sync "$E2E_DIALOG" key Return
sleep 0.5
xdotool key alt+y   # replace the existing file
e2e_wait_exit "$E2E_APP_PID" 10 || e2e_fail "the window did not close after saving"
len=$(e2e_seconds "$target")
e2e_note "closed after saving again: $len s"
e2e_near "$(awk -v a="$len" -v b="$first" 'BEGIN { print a - b }')" 1.4 0.4 ||
  e2e_fail "the replaced file holds $len s, not about a second more than $first"
ls -A "$folder" | grep -v '^第一 次.wav$' && e2e_fail "stray files beside the saved one"
e2e_note "ok"
