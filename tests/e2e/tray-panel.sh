# The tray in a real panel: xfce4-panel with only its systray plugin (which is the
# StatusNotifierWatcher and the host, and draws the item's menu itself through
# com.canonical.dbusmenu's group calls), xfconfd beside it, and dunst as the notification
# server, on the journey's X server and a private bus. The icon appears and animates; 录音
# and 停止 chosen in the panel's own menu (opened with a right click, chosen with the
# keyboard as a user may) record and stop while the window is hidden; a left click shows the
# window; the watcher holds exactly one live entry of the recorder; the notifications of the
# tray path (keys that cannot work, a take stopped by a lost server) reach dunst.
source "$(dirname "$0")/lib.sh"
XFCONFD=/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd
for need in xfce4-panel dunst dbus-monitor; do
  command -v "$need" >/dev/null || { echo "SKIP: $need is not installed (xfce4-panel xfconf dunst)"; exit "$E2E_SKIP"; }
done
[ -x "$XFCONFD" ] || { echo "SKIP: xfconfd is not installed (xfconf)"; exit "$E2E_SKIP"; }
/usr/bin/python3 -c 'import dbus, gi' 2>/dev/null ||
  { echo "SKIP: python3-dbus and python3-gi are not installed"; exit "$E2E_SKIP"; }
e2e_home
e2e_start_bus

# One panel along the top edge with one plugin, the systray.
channel=$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml
mkdir -p "$channel"
cat >"$channel/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="32"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML
# The menu calls the panel makes, to show it drove the menu itself, and the registrations
# the watcher receives.
e2e_service menu dbus-monitor --session "interface='com.canonical.dbusmenu'" \
  "interface='org.kde.StatusNotifierWatcher',member='RegisterStatusNotifierItem'"
e2e_service xfconfd "$XFCONFD"
# dunst prints each notification it receives. It owns the name before anything may ask for
# it: the bus would otherwise start another dunst of its own (D-Bus activation).
e2e_service dunst dunst -print
received=$E2E_OUT/${E2E_NAME}-dunst.log
has_owner() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    "string:$1" 2>/dev/null | grep -q 'boolean true'
}
for _ in $(seq 50); do has_owner org.freedesktop.Notifications && break; sleep 0.1; done
has_owner org.freedesktop.Notifications || e2e_fail "dunst did not take the notification service"
e2e_service panel xfce4-panel --disable-wm-check
watcher() {
  dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher "string:$1" 2>/dev/null
}
for _ in $(seq 100); do watcher IsStatusNotifierHostRegistered | grep -q 'boolean true' && break; sleep 0.1; done
watcher IsStatusNotifierHostRegistered | grep -q 'boolean true' || e2e_fail "xfce4-panel's systray registered no host"
e2e_note "xfce4-panel $(dpkg-query -W -f='${Version}' xfce4-panel), dunst $(dpkg-query -W -f='${Version}' dunst)"

# A Wayland session whose portal has no GlobalShortcuts: the keys cannot work, and the tray
# says so once. The portal is the stand-in's (--no-shortcuts): the bus would otherwise start
# the installed one, whose answer depends on which back ends are installed
# (hotkeys-gnome.sh runs the real one of such a desktop).
export XDG_SESSION_TYPE=wayland
e2e_service standin /usr/bin/python3 "$(dirname "$0")/../support/portal-standin.py" \
  "$E2E_OUT/${E2E_NAME}-portal.log" --no-shortcuts
for _ in $(seq 50); do has_owner org.freedesktop.portal.Desktop && break; sleep 0.1; done
has_owner org.freedesktop.portal.Desktop || e2e_fail "the stand-in portal did not start"
e2e_start_wm
e2e_start_app
# The recorder's entries in the watcher, and how many of them have a live bus name.
entries() { watcher RegisteredStatusNotifierItems | grep -o 'string "[^"]*"' | sed 's/string "\(.*\)"/\1/'; }
live_entries() {
  local entry
  for entry in $(entries); do has_owner "${entry%%/*}" && echo "$entry"; done
}
for _ in $(seq 50); do [ -n "$(entries)" ] && break; sleep 0.1; done
sleep 1
[ "$(entries | wc -l)" = 1 ] || e2e_fail "the watcher holds $(entries | wc -l) entries: $(entries | tr '\n' ' ')"
[ "$(live_entries | wc -l)" = 1 ] || e2e_fail "the watcher's entry is dead: $(entries)"
# An item registered and then made again leaves the watcher an entry whose name is gone,
# when the registration arrives after that: one registration, of the item that stays.
registrations=$(grep -c 'member=RegisterStatusNotifierItem' "$E2E_OUT/${E2E_NAME}-menu.log")
[ "$registrations" = 1 ] || e2e_fail "the recorder registered $registrations items with the watcher"
e2e_note "one live watcher entry: $(entries)"

# The icon: a 32 px button at the panel's left end.
panel=$(xdotool search --onlyvisible --class xfce4-panel | head -1)
[ -n "$panel" ] || e2e_fail "no panel window"
icon_x=16 icon_y=16
e2e_shot tray-panel-icon
# The tray's notification for the keys came through dunst.
for _ in $(seq 50); do grep -q '声匣热键' "$received" && break; sleep 0.1; done
grep -q '声匣热键' "$received" || e2e_fail "dunst received no hot-key notification: $(cat "$received")"
e2e_note "dunst received: 声匣热键"

xdotool windowminimize "$E2E_WIN"
e2e_until e2e_hidden || e2e_fail "minimising did not hide the window"
# Chooses, in the panel's own menu, the entry $1 places after the first one that can be
# chosen, with the keyboard as a user may: once the menu is up, Home goes to that first entry
# and each Down to the next, past separators and disabled entries, as GTK does.
# The menu opens after the panel's AboutToShowGroup.
menu_openings() { grep -c 'member=AboutToShowGroup' "$E2E_OUT/${E2E_NAME}-menu.log"; }
choose() {
  local before
  before=$(menu_openings)
  xdotool mousemove --window "$panel" $icon_x $icon_y click 3
  for _ in $(seq 30); do [ "$(menu_openings)" -gt "$before" ] && break; sleep 0.1; done
  [ "$(menu_openings)" -gt "$before" ] || e2e_fail "the panel opened no menu"
  sleep 0.8
  xdotool key --delay 150 Home $(for _ in $(seq "$1"); do printf 'Down '; done) Return
  sleep 0.5
}
e2e_tone_start 440
# The menu, window hidden: 显示声匣, 声匣热键一览, 录音, 停止 (disabled), 播放 (disabled),
# 关于声匣, 退出声匣, with separators.
choose 2
e2e_until e2e_recording || { e2e_shot tray-panel-menu; e2e_fail "录音 chosen in the panel's menu did not record"; }
grep -q 'member=EventGroup' "$E2E_OUT/${E2E_NAME}-menu.log" || e2e_fail "the panel did not click through EventGroup"
grep -q 'member=AboutToShowGroup' "$E2E_OUT/${E2E_NAME}-menu.log" || e2e_fail "the panel did not open the menu through AboutToShowGroup"
sleep 2
# Recording: 录音 and 播放 cannot be chosen, 停止 can.
choose 2
e2e_until e2e_not_recording || { e2e_shot tray-panel-menu; e2e_fail "停止 chosen in the panel's menu did not stop"; }
e2e_tone_stop
e2e_hidden || e2e_fail "choosing in the menu brought the window back"
grep -q 'Unable to replace properties' "$E2E_OUT/${E2E_NAME}-panel.log" && e2e_fail "the panel could not read the root entry: $(grep -m1 'Unable' "$E2E_OUT/${E2E_NAME}-panel.log")"
e2e_note "the panel's own menu recorded and stopped while hidden (EventGroup, AboutToShowGroup)"

xdotool mousemove --window "$panel" $icon_x $icon_y click 1
e2e_until e2e_viewable || e2e_fail "a click on the icon in the panel did not show the window"
e2e_shot tray-panel-restored
[ "$(live_entries | wc -l)" = 1 ] && [ "$(entries | wc -l)" = 1 ] || e2e_fail "watcher entries afterwards: $(entries | tr '\n' ' ')"

# A take stopped by a lost sound server while the window is hidden: said beside the icon.
xdotool windowminimize "$E2E_WIN"
e2e_until e2e_hidden || e2e_fail "minimising did not hide the window again"
e2e_tone_start 440
choose 2
e2e_until e2e_recording || e2e_fail "录音 did not record the second time"
sleep 1
kill -9 -- "-$WSX_TEST_SOUND_SERVER_PGID"
E2E_TONE_PID=
for _ in $(seq 50); do grep -q '录音停止了' "$received" && break; sleep 0.1; done
grep -q '录音停止了' "$received" || e2e_fail "dunst received no notification of the stopped take: $(cat "$received")"
e2e_note "dunst received the stopped take's notification"
