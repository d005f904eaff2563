# Save As FLAC, Opus and MP3 through the real file dialog: a 440 Hz tone recorded from the
# null sink's monitor, saved three times under typed extensions (one in capitals), each
# decoded by a decoder apart from the one that wrote it (sox for FLAC, opusdec, mpg123)
# and measured: the tone and the recorded length. Screenshots: the dialog's type list.
source "$(dirname "$0")/lib.sh"
e2e_home
for tool in opusdec mpg123; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (opus-tools, mpg123)"; exit "$E2E_SKIP"; }
done
folder="$E2E_HOME/导出"
mkdir -p "$folder"

e2e_record_new_take 440 3

# The type list, opened with a click on the type box (beside 文件类型), for the record.
e2e_keys "$E2E_WIN" ctrl+a
e2e_wait_dialog 另存为
sleep 0.5
xdotool mousemove --window "$E2E_DIALOG" 300 389 click 1
sleep 0.5
e2e_shot save-formats-type-list
xdotool key Escape; sleep 0.3; xdotool key Escape; sleep 0.5

reference=
for name in take.flac take.opus TAKE.MP3; do
  target="$folder/$name"
  e2e_save_as "$target"
  decoded="$E2E_HOME/$name.wav"
  case "$name" in
    *.flac) sox "$target" "$decoded" ;;
    *.opus) opusdec --quiet "$target" "$decoded" ;;
    *.MP3) mpg123 -q -w "$decoded" "$target" ;;
  esac
  [ -s "$decoded" ] || e2e_fail "$name does not decode"
  len=$(e2e_seconds "$decoded"); freq=$(e2e_frequency "$decoded")
  e2e_note "$name: $(stat -c %s "$target") bytes, decoded $len s at $(soxi -r "$decoded") Hz, $freq Hz"
  e2e_near "$freq" 440 6 || e2e_fail "$name holds $freq Hz, not the 440 Hz tone"
  reference=${reference:-$len}
  # The same take each time: lossy codecs pad a few milliseconds at most.
  e2e_near "$len" "$reference" 0.08 || e2e_fail "$name is $len s, the FLAC file $reference s"
  e2e_near "$len" 3.4 0.4 || e2e_fail "$name is $len s, not about 3"
done
ls -A "$folder" | grep -Ev '^(take\.flac|take\.opus|TAKE\.MP3)$' && e2e_fail "stray files beside the saved ones"
e2e_note "ok"
