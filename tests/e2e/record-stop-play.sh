# Record a 440 Hz tone with the Record button, stop, play it back, and hear it again on the
# sink's monitor; the position display follows.
source "$(dirname "$0")/lib.sh"
e2e_home
e2e_tone_start 440
e2e_start_app
e2e_shot record-stop-play-start
e2e_press_record
sleep 3
e2e_press_stop
e2e_tone_stop
e2e_shot record-stop-play-stopped

# Nothing plays now: the monitor is silent.
e2e_capture "$E2E_OUT/silence.wav" 1
rms=$(e2e_rms "$E2E_OUT/silence.wav")
e2e_note "monitor before playback: RMS $rms"
e2e_near "$rms" 0 0.01 || e2e_fail "the monitor is not silent before playback (RMS $rms)"

e2e_press_play
e2e_capture "$E2E_OUT/playback.wav" 2.5
e2e_shot record-stop-play-playing
freq=$(e2e_frequency "$E2E_OUT/playback.wav")
rms=$(e2e_rms "$E2E_OUT/playback.wav")
e2e_note "playback on the monitor: ${freq} Hz, RMS $rms"
e2e_near "$freq" 440 5 || e2e_fail "played-back sound is ${freq} Hz, not 440"
e2e_near "$rms" 0.25 0.2 || e2e_fail "played-back sound is too quiet or loud (RMS $rms)"

# After the end (3 s take, 2.5 s heard) the window is back to stopped: Play works again.
sleep 2
e2e_press_play
e2e_capture "$E2E_OUT/replay.wav" 1.5
freq=$(e2e_frequency "$E2E_OUT/replay.wav")
e2e_near "$freq" 440 5 || e2e_fail "second playback is ${freq} Hz"
e2e_note "ok"
