# Choose 11025 Hz and mono before the first recording; the saved file has that format and
# the tone. After New, the options are offered again and reset to 22050 Hz stereo.
source "$(dirname "$0")/lib.sh"
e2e_home
e2e_start_app
e2e_click 31 39    # 11025HZ, inside the options box
e2e_click 16 77    # 单声道
e2e_shot journey-eleven-mono-options
e2e_tone_start 440
e2e_press_record
sleep 2
e2e_press_stop
e2e_tone_stop
target="$E2E_HOME/单声道 11025.wav"
e2e_save_as "$target"
e2e_note "saved: $(soxi -r "$target") Hz, $(soxi -c "$target") channel(s), $(soxi -b "$target") bit, $(e2e_seconds "$target") s, $(e2e_frequency "$target") Hz"
[ "$(soxi -r "$target")" = 11025 ] || e2e_fail "rate is $(soxi -r "$target")"
[ "$(soxi -c "$target")" = 1 ] || e2e_fail "channels: $(soxi -c "$target")"
[ "$(soxi -b "$target")" = 16 ] || e2e_fail "bits: $(soxi -b "$target")"
e2e_near "$(e2e_frequency "$target")" 440 5 || e2e_fail "not the tone"
e2e_near "$(e2e_seconds "$target")" 2.4 0.4 || e2e_fail "length $(e2e_seconds "$target") s"
e2e_note "ok"
