# Hot keys on a Wayland session through the desktop's GlobalShortcuts portal (a stand-in on a
# private bus that answers as KDE Plasma 5.27's does; hotkeys-kde.sh runs the real one): the
# recorder registers under its application id, offers the three keys with their names,
# captions and preferred triggers in CreateSession under the same session token every time,
# never asks BindShortcuts of a portal that bound them there (5.27's would open the
# desktop's settings), and grabs nothing on X; shortcuts the portal reports pressed record,
# stop and play with the window hidden. What the real portal cannot be made to do is stood
# in for: a portal that refuses the keys, one that binds none of them, one that binds only in
# BindShortcuts. The first two make the overview say so in a line, and once a notification.
source "$(dirname "$0")/lib.sh"
STANDIN=${STANDIN:-$(dirname "$0")/../support/portal-standin.py}
GRABKEYS=${GRABKEYS:-$PWD/grabkeys}
/usr/bin/python3 -c 'import dbus, gi' 2>/dev/null ||
  { echo "SKIP: python3-dbus and python3-gi are not installed"; exit "$E2E_SKIP"; }
e2e_home
e2e_start_bus
export XDG_SESSION_TYPE=wayland

# Starts the stand-in portal in mode $1 ("" or --refuse) logging to $E2E_PORTAL_LOG.
portal_start() {
  E2E_PORTAL_LOG=$E2E_OUT/${E2E_NAME}-portal${1}.log
  rm -f "$E2E_PORTAL_LOG"
  /usr/bin/python3 "$STANDIN" "$E2E_PORTAL_LOG" $1 >>"$E2E_OUT/${E2E_NAME}-standin.log" 2>&1 &
  E2E_PORTAL_PID=$!
  for _ in $(seq 50); do grep -q '"ready"' "$E2E_PORTAL_LOG" 2>/dev/null && return 0; sleep 0.1; done
  e2e_fail "the stand-in portal did not start"
}
portal_stop() { kill "$E2E_PORTAL_PID" 2>/dev/null; wait "$E2E_PORTAL_PID" 2>/dev/null; }
tell_portal() {
  dbus-send --session --type=method_call --print-reply --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
    "io.github.wanshengxia.Test.$1" "${@:2}" >/dev/null
}
activate() { tell_portal Activate "string:$1"; }

portal_start ""
e2e_start_app
for _ in $(seq 50); do grep -q CreateSession "$E2E_PORTAL_LOG" && break; sleep 0.1; done
sleep 1
/usr/bin/python3 - "$E2E_PORTAL_LOG" <<'PY' || e2e_fail "the portal conversation is not as expected (see above)"
import json, sys
calls = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
names = [c["call"] for c in calls if c["call"] != "ready"]
assert names == ["Register", "CreateSession"], names
assert calls[1]["app_id"] == "wanshengxia", calls[1]
options = calls[2]["options"]
assert options["session_handle_token"] == "wanshengxia", options
assert calls[2]["shortcuts_signature"] == "(sa{sv})", calls[2]
bound = {s[0]: s[1] for s in options["shortcuts"]}
want = {"record": ("录音", "CTRL+ALT+Down"), "stop": ("停止", "CTRL+ALT+Up"),
        "play": ("播放", "CTRL+ALT+Right")}
assert set(bound) == set(want), bound
for name, (description, trigger) in want.items():
    assert bound[name] == {"description": description, "preferred_trigger": trigger}, bound[name]
print("offered in CreateSession:", bound)
PY
"$GRABKEYS" >/dev/null || e2e_fail "on a Wayland session the recorder still grabs the keys on X"
e2e_note "registered as wanshengxia, bound record/stop/play in CreateSession, no BindShortcuts, nothing grabbed on X"
height=$(e2e_overview_height hotkeys-portal-overview)
[ "$height" = 186 ] || e2e_fail "the overview is $height px high with working keys (a notice?)"

# Other keys chosen in the overview: the portal gets them at once as the preferred triggers
# of a new session under the same token (a session binds once); the commands keep their
# names. The chooser let go of the keys while open: cancelled, it asks the portal for nothing.
e2e_keys "$E2E_WIN" alt+h
sleep 0.3
xdotool key Down Return
e2e_wait_dialog 声匣热键一览
overview=$E2E_DIALOG
e2e_keys "$overview" alt+c
e2e_wait_dialog 更改声匣热键
e2e_keys "$E2E_DIALOG" Escape
sleep 0.5
e2e_keys "$overview" alt+c
e2e_wait_dialog 更改声匣热键
e2e_keys "$E2E_DIALOG" ctrl+shift+r Tab Tab super+F5 Return
for _ in $(seq 50); do [ "$(grep -c CreateSession "$E2E_PORTAL_LOG")" -ge 2 ] && break; sleep 0.1; done
sleep 0.5
e2e_shot hotkeys-portal-other-keys
height=$(xwininfo -id "$overview" | sed -n 's/^ *Height: *//p')
[ "$height" = 186 ] || e2e_fail "the overview is $height px high after the keys were bound again"
e2e_keys "$overview" Escape
/usr/bin/python3 - "$E2E_PORTAL_LOG" <<'PY' || e2e_fail "other keys did not reach the portal (see above)"
import json, sys
calls = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
names = [c["call"] for c in calls if c["call"] != "ready"]
assert names == ["Register", "CreateSession", "Close", "CreateSession"], names
first, second = [c["options"] for c in calls if c["call"] == "CreateSession"]
assert second["session_handle_token"] == first["session_handle_token"] == "wanshengxia", second
bound = {s[0]: s[1]["preferred_trigger"] for s in second["shortcuts"]}
assert bound == {"record": "CTRL+SHIFT+r", "stop": "CTRL+ALT+Up", "play": "LOGO+F5"}, bound
print("bound again:", bound)
PY
e2e_note "other keys chosen: bound again under the same token as CTRL+SHIFT+r, CTRL+ALT+Up, LOGO+F5"

# Minimising needs a window manager (menus opened by keys need none: twm keeps them shut).
e2e_start_wm
xdotool windowminimize "$E2E_WIN"
e2e_until e2e_hidden || e2e_fail "minimising did not hide the window"
e2e_tone_start 440
activate record
e2e_until e2e_recording || e2e_fail "the portal's record shortcut did not start recording"
sleep 2
activate stop
e2e_until e2e_not_recording || e2e_fail "the portal's stop shortcut did not stop recording"
e2e_tone_stop
activate play
e2e_until e2e_playing || e2e_fail "the portal's play shortcut did not start playback"
e2e_capture "$E2E_OUT/portal-playback.wav" 1.5
freq=$(e2e_frequency "$E2E_OUT/portal-playback.wav")
e2e_near "$freq" 440 5 || e2e_fail "portal playback is ${freq} Hz, not 440"
e2e_hidden || e2e_fail "the window came back during the shortcuts"
e2e_note "portal shortcuts while hidden: recorded and played 440 Hz"
for _ in $(seq 50); do e2e_playing || break; sleep 0.1; done
# The user gives record other keys in the desktop's settings: the shortcut still records.
tell_portal ChangeTrigger string:record string:Meta+F9
sleep 0.3
activate record
e2e_until e2e_recording || e2e_fail "record did not record after the desktop changed its keys"
activate stop
e2e_until e2e_not_recording || e2e_fail "stop did not stop after record's keys changed"

# A portal that refuses: the overview grows a line, and the first run says so in the tray.
e2e_stop_app
kill "$E2E_WM_PID"
portal_stop
portal_start --refuse
# The first run ended on SIGTERM with its take unsaved, and the next start would offer it
# back first: this journey is about the keys, so that take goes.
rm -rf "$XDG_STATE_HOME/wanshengxia"
ini=$XDG_CONFIG_HOME/wanshengxia/wanshengxia.ini
e2e_start_app
for _ in $(seq 50); do grep -q 'NoticeShown=true' "$ini" 2>/dev/null && break; sleep 0.1; done
grep -q 'NoticeShown=true' "$ini" 2>/dev/null || e2e_fail "refused keys brought no notification"
e2e_shot hotkeys-portal-refused-notification
height=$(e2e_overview_height hotkeys-portal-refused-overview)
[ "$height" -gt 186 ] || e2e_fail "the overview says nothing of the refused keys (height $height)"
e2e_note "refused: notified once, the overview grows to $height px for its line"

# Stood in for: a portal that lists none of the keys it was offered (Plasma 5.27 answers so
# a client that offers them only to BindShortcuts). Asked once more in BindShortcuts, it
# answers the same: the keys count as not working.
e2e_stop_app
portal_stop
portal_start --binds-nothing
rm -rf "$XDG_STATE_HOME/wanshengxia"
sed -i '/NoticeShown/d' "$ini"
e2e_start_app
for _ in $(seq 50); do grep -q 'NoticeShown=true' "$ini" 2>/dev/null && break; sleep 0.1; done
grep -q 'NoticeShown=true' "$ini" 2>/dev/null || e2e_fail "keys bound by none brought no notification"
height=$(e2e_overview_height hotkeys-portal-empty-overview)
[ "$height" -gt 186 ] || e2e_fail "the overview shows keys nobody bound as working (height $height)"
[ "$(grep -c '"BindShortcuts"' "$E2E_PORTAL_LOG")" = 1 ] || e2e_fail "BindShortcuts was not asked exactly once"
e2e_note "an empty list: notified, the overview grows to $height px"

# Stood in for: a portal that binds only in BindShortcuts (Plasma 6.1 and later).
e2e_stop_app
portal_stop
portal_start --binds-later
rm -rf "$XDG_STATE_HOME/wanshengxia"
e2e_start_app
for _ in $(seq 50); do grep -q '"BindShortcuts"' "$E2E_PORTAL_LOG" && break; sleep 0.1; done
sleep 0.5
height=$(e2e_overview_height hotkeys-portal-later-overview)
[ "$height" = 186 ] || e2e_fail "keys bound in BindShortcuts are not shown as working (height $height)"
e2e_note "bound in BindShortcuts: working"
