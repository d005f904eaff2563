# Hot keys through KDE Plasma 5.27's own GlobalShortcuts portal, the real one: a headless
# kwin_wayland (with kglobalaccel inside it and Xwayland for the recorder), xdg-desktop-portal
# and xdg-desktop-portal-kde on a private runtime folder and session bus. The recorder binds
# its three keys there with no BindShortcuts (5.27's opens System Settings instead of binding:
# a stub xdg-open and systemsettings record any such start), kglobalaccel holds them, and
# the chords pressed inside kwin (its fake-input protocol) record, stop and play the tone
# while the window is minimised.
source "$(dirname "$0")/lib.sh"
FAKEKEYS=${FAKEKEYS:-$PWD/fakekeys}
KDE_PORTAL=/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde
PORTAL=/usr/libexec/xdg-desktop-portal
for need in /usr/bin/kwin_wayland /usr/bin/Xwayland "$KDE_PORTAL" "$PORTAL" \
  /usr/lib/x86_64-linux-gnu/qt5/plugins/platforms/libqwayland-generic.so; do
  [ -e "$need" ] || { echo "SKIP: $need is not installed (kwin-wayland xwayland xdg-desktop-portal xdg-desktop-portal-kde qtwayland5)"; exit "$E2E_SKIP"; }
done
[ -x "$FAKEKEYS" ] || { echo "SKIP: fakekeys was not built (libwayland-dev, plasma-wayland-protocols)"; exit "$E2E_SKIP"; }
command -v dbus-monitor >/dev/null || { echo "SKIP: dbus-monitor is not installed"; exit "$E2E_SKIP"; }
# Xwayland puts its socket there; only root may make the folder on a machine without it.
mkdir -p /tmp/.X11-unix 2>/dev/null && [ -w /tmp/.X11-unix ] ||
  { echo "SKIP: /tmp/.X11-unix cannot be made for Xwayland"; exit "$E2E_SKIP"; }
e2e_home
e2e_start_bus
runtime=$(mktemp -d "${TMPDIR:-/tmp}/wsx-kde.XXXXXX")
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
kde_cleanup() {
  e2e_cleanup
  local pid
  for pid in $(cat "$runtime/session.pid" 2>/dev/null); do kill "$pid" 2>/dev/null; done
  rm -rf "$runtime"
}
trap kde_cleanup EXIT

# Anything the portal would start to show the desktop's shortcut settings.
opened=$E2E_OUT/${E2E_NAME}-opened.log
rm -f "$opened"
mkdir -p "$E2E_HOME/bin"
for program in xdg-open systemsettings systemsettings5 kcmshell5; do
  printf '#!/bin/sh\necho "%s $*" >>"%s"\n' "$program" "$opened" >"$E2E_HOME/bin/$program"
  chmod +x "$E2E_HOME/bin/$program"
done
export PATH=$E2E_HOME/bin:$PATH

# Debian's kwin_wayland carries the file capability cap_sys_resource, which an unprivileged
# container refuses (EPERM); a plain copy has none.
cp /usr/bin/kwin_wayland "$runtime/kwin_wayland"
socket=wsx-kde-$$
# The session's program writes out Xwayland's display and stays, as a session would.
e2e_service kwin env -u DISPLAY KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 "$runtime/kwin_wayland" \
  --virtual --xwayland --socket "$socket" --no-lockscreen --no-kactivities --width 1280 --height 800 \
  "sh -c 'echo \$\$ >$runtime/session.pid; echo \$DISPLAY >$runtime/display; exec sleep 3600'"
for _ in $(seq 150); do [ -s "$runtime/display" ] && break; sleep 0.1; done
[ -s "$runtime/display" ] || { tail -5 "$E2E_OUT/${E2E_NAME}-kwin.log"; echo "SKIP: kwin_wayland did not start here (see its log)"; exit "$E2E_SKIP"; }
export DISPLAY=$(cat "$runtime/display") WAYLAND_DISPLAY=$socket
kwin_version=$(dpkg-query -W -f='${Version}' kwin-wayland 2>/dev/null)
kde_portal_version=$(dpkg-query -W -f='${Version}' xdg-desktop-portal-kde 2>/dev/null)
portal_version=$(dpkg-query -W -f='${Version}' xdg-desktop-portal 2>/dev/null)

# Every GlobalShortcuts call and signal on the bus.
e2e_service bus dbus-monitor --session "interface='org.freedesktop.portal.GlobalShortcuts'"
e2e_service portal-kde env XDG_CURRENT_DESKTOP=KDE QT_QPA_PLATFORM=wayland \
  QT_LOGGING_RULES='xdp-kde-GlobalShortcuts.debug=true' "$KDE_PORTAL"
e2e_service portal env XDG_CURRENT_DESKTOP=KDE "$PORTAL"
shortcuts_version() {
  dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
    org.freedesktop.DBus.Properties.Get string:org.freedesktop.portal.GlobalShortcuts string:version 2>/dev/null |
    sed -n 's/.*uint32 //p'
}
for _ in $(seq 100); do [ -n "$(shortcuts_version)" ] && break; sleep 0.1; done
[ -n "$(shortcuts_version)" ] || e2e_fail "the portal offers no GlobalShortcuts (see ${E2E_NAME}-portal*.log)"
e2e_note "kwin-wayland $kwin_version, xdg-desktop-portal $portal_version, xdg-desktop-portal-kde $kde_portal_version: GlobalShortcuts version $(shortcuts_version), Xwayland on $DISPLAY"

export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE QT_QPA_PLATFORM=xcb
e2e_start_app
# kglobalaccel files the keys under the session token.
component_keys() {
  dbus-send --session --print-reply --dest=org.kde.kglobalaccel /component/wanshengxia \
    org.kde.kglobalaccel.Component.shortcutNames 2>/dev/null | grep -o '"[a-z]*"' | sort | tr -d '"' | tr '\n' ' '
}
for _ in $(seq 50); do [ "$(component_keys)" = "play record stop " ] && break; sleep 0.1; done
[ "$(component_keys)" = "play record stop " ] ||
  e2e_fail "kglobalaccel holds no record/stop/play for the recorder: '$(component_keys)'"
sleep 1
grep -q 'member=BindShortcuts' "$E2E_OUT/${E2E_NAME}-bus.log" && e2e_fail "the recorder asked BindShortcuts of Plasma 5.27"
grep -q 'member=CreateSession' "$E2E_OUT/${E2E_NAME}-bus.log" || e2e_fail "dbus-monitor saw no CreateSession"
ini=$XDG_CONFIG_HOME/wanshengxia/wanshengxia.ini
grep -q 'NoticeShown=true' "$ini" 2>/dev/null && e2e_fail "keys the portal bound were reported as not working"
e2e_note "kglobalaccel component wanshengxia holds: $(component_keys); no BindShortcuts"
height=$(e2e_overview_height hotkeys-kde-overview)
[ "$height" = 186 ] || e2e_fail "the overview is $height px high with the keys bound (a notice?)"

xdotool windowminimize "$E2E_WIN"
e2e_until e2e_hidden || e2e_fail "minimising in kwin did not hide the window"
e2e_tone_start 440
"$FAKEKEYS" ctrl+alt+Down || e2e_fail "fakekeys could not press inside kwin"
e2e_until e2e_recording || e2e_fail "Ctrl+Alt+Down pressed in kwin did not start recording"
sleep 2
"$FAKEKEYS" ctrl+alt+Up
e2e_until e2e_not_recording || e2e_fail "Ctrl+Alt+Up pressed in kwin did not stop recording"
e2e_tone_stop
"$FAKEKEYS" ctrl+alt+Right
e2e_until e2e_playing || e2e_fail "Ctrl+Alt+Right pressed in kwin did not start playback"
e2e_expect_tone_played kde-playback
freq=$E2E_FREQ
e2e_hidden || e2e_fail "the window came back during the chords"
activated=$(grep -c 'member=Activated' "$E2E_OUT/${E2E_NAME}-bus.log")
e2e_note "chords in kwin while minimised: recorded, stopped, played ${freq} Hz ($activated Activated signals)"
for _ in $(seq 50); do e2e_playing || break; sleep 0.1; done

# The user gives record other keys in the desktop's settings (as System Settings does, over
# kglobalaccel): the portal tells with ShortcutsChanged, and the new keys record.
meta_f9=$(( 0x10000000 | 0x01000038 ))   # Qt::META | Qt::Key_F9
dbus-send --session --print-reply --dest=org.kde.kglobalaccel /kglobalaccel org.kde.KGlobalAccel.setForeignShortcut \
  array:string:wanshengxia,record,wanshengxia,录音 "array:int32:$meta_f9" >/dev/null ||
  e2e_fail "kglobalaccel did not take other keys for record"
for _ in $(seq 30); do grep -q 'member=ShortcutsChanged' "$E2E_OUT/${E2E_NAME}-bus.log" && break; sleep 0.1; done
grep -q 'member=ShortcutsChanged' "$E2E_OUT/${E2E_NAME}-bus.log" || e2e_fail "the portal did not announce the changed keys"
e2e_tone_start 440
"$FAKEKEYS" meta+F9
e2e_until e2e_recording || e2e_fail "Meta+F9, record's keys given in the desktop, did not record"
"$FAKEKEYS" ctrl+alt+Up
e2e_until e2e_not_recording || e2e_fail "Ctrl+Alt+Up did not stop after record's keys changed"
e2e_tone_stop
e2e_note "record's keys changed to Meta+F9 in kglobalaccel: ShortcutsChanged came, Meta+F9 records"
# The overview shows the keys the desktop reports (in the screenshot: 录音：Meta+F9).
e2e_run_again --show
e2e_until e2e_viewable || e2e_fail "--show did not bring the window back"
height=$(e2e_overview_height hotkeys-kde-changed-overview)
[ "$height" = 186 ] || e2e_fail "the overview is $height px high after the desktop changed a key"
[ ! -s "$opened" ] || e2e_fail "the portal started the desktop's settings: $(cat "$opened")"
e2e_note "no System Settings started"
