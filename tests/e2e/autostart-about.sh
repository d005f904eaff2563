# First start creates the autostart entry and ticks the box; the entry is valid and really
# starts the program; unticking disables it and the next start leaves it off. The About box
# shows its texts and closes with Esc; Help hands record.chm to the desktop.
source "$(dirname "$0")/lib.sh"
e2e_home
entry="$XDG_CONFIG_HOME/autostart/wanshengxia-run-record.desktop"

e2e_start_app
[ -f "$entry" ] || e2e_fail "the first start wrote no autostart entry"
grep -q '^Exec=' "$entry" || e2e_fail "the entry has no Exec line"
desktop-file-validate "$entry" || e2e_fail "the entry does not validate"
e2e_note "first start: $(grep '^Exec=' "$entry")"
e2e_shot autostart-first-start

# The entry, launched as a session would at log-in, starts a second recorder.
if command -v gio >/dev/null; then
  before=$(xdotool search --onlyvisible --name '^万声匣$' | wc -l)
  DISPLAY=$DISPLAY gio launch "$entry" >/dev/null 2>&1 &
  for _ in $(seq 50); do
    [ "$(xdotool search --onlyvisible --name '^万声匣$' | wc -l)" -gt "$before" ] && break
    sleep 0.1
  done
  [ "$(xdotool search --onlyvisible --name '^万声匣$' | wc -l)" -gt "$before" ] ||
    e2e_fail "launching the autostart entry did not start the recorder"
  e2e_note "the entry's Exec starts the recorder"
  pkill -n -f "^$WSX_BIN\$" || true  # the newest one: the launched copy
  sleep 0.5
fi

# Untick: the entry stays but is disabled.
e2e_click 12 122
grep -q '^Hidden=true' "$entry" || e2e_fail "unticking did not disable the entry"
desktop-file-validate "$entry" || e2e_fail "the disabled entry does not validate"
e2e_note "unticked: Hidden=true"

# The About box from the Help menu, and Esc closes it.
e2e_keys "$E2E_WIN" alt+h
xdotool key a
e2e_wait_dialog "关于 万声匣"
e2e_shot about-box
import -window "$E2E_DIALOG" "$E2E_OUT/about.png" 2>/dev/null
e2e_keys "$E2E_DIALOG" Escape
sleep 0.5
xdotool search --onlyvisible --name '^关于 万声匣$' >/dev/null && e2e_fail "Esc did not close the About box"

e2e_keys "$E2E_WIN" ctrl+x
e2e_wait_exit "$E2E_APP_PID" 10 || e2e_fail "the program did not exit"
cp "$entry" "$E2E_HOME/entry-after-untick"

# Next start: the box stays clear and nothing is written.
e2e_start_app
cmp -s "$entry" "$E2E_HOME/entry-after-untick" || e2e_fail "the second start rewrote the entry"
e2e_shot autostart-second-start
e2e_note "second start: entry untouched"
