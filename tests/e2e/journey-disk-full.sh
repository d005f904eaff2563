# The disk fills mid-take: the take stops by itself, the window says why and what it kept,
# and what fit saves. The takes live on a 256 KiB tmpfs (mounting needs root: skipped
# without it).
source "$(dirname "$0")/lib.sh"
e2e_home
small=$E2E_HOME/.local/state
mount -t tmpfs -o size=256k,mode=0700 tmpfs "$small" 2>/dev/null || { echo "SKIP: cannot mount a small tmpfs (needs root)"; exit 77; }
trap 'umount "$small" 2>/dev/null; e2e_cleanup' EXIT
e2e_tone_start 440
e2e_start_app
e2e_press_record
e2e_until e2e_recording || e2e_fail "Record did not record"
# 22050 Hz stereo is 88200 bytes a second: 256 KiB last about 3 s.
e2e_wait_box
e2e_shot journey-disk-full-told
e2e_keys "$E2E_DIALOG" Return
log="$E2E_OUT/${E2E_NAME}-app.log"
grep -q '^wsx\.window: 录音停止了：磁盘空间已满。已经录下的 00:0[23] 都保留着' "$log" ||
  e2e_fail "the full disk was not told: $(cat "$log")"
target="$E2E_HOME/磁盘满前.wav"
e2e_save_as "$target"
len=$(e2e_seconds "$target")
e2e_note "disk full: saved $len s of $(e2e_frequency "$target") Hz"
e2e_near "$len" 2.8 0.4 || e2e_fail "saved $len s, not what fit on the disk"
e2e_near "$(e2e_frequency "$target")" 440 5 || e2e_fail "what was kept is not the tone"
