# GNOME 43 (Debian 12) has no GlobalShortcuts portal: with the real xdg-desktop-portal and
# xdg-desktop-portal-gnome on a private bus, the recorder on a Wayland session learns that no
# global keys can be had, says so once and in the overview's line, and the command-line verbs
# the notice points to record, stop and play with the window minimised. The GNOME back end
# runs on the journey's X server (GDK_BACKEND=x11), not under a headless mutter: which
# interfaces the portal offers is the front end's choice from the back end's portal file.
source "$(dirname "$0")/lib.sh"
GNOME_PORTAL=/usr/libexec/xdg-desktop-portal-gnome
PORTAL=/usr/libexec/xdg-desktop-portal
for need in "$GNOME_PORTAL" "$PORTAL" /usr/share/xdg-desktop-portal/portals/gnome.portal; do
  [ -e "$need" ] || { echo "SKIP: $need is not installed (xdg-desktop-portal xdg-desktop-portal-gnome)"; exit "$E2E_SKIP"; }
done
e2e_home
e2e_start_bus
export XDG_CURRENT_DESKTOP=GNOME
# Only GNOME's back end, as on a GNOME desktop: this portal falls back to any installed back
# end for an interface the desktop's own lacks (the KDE one the other journey needs).
mkdir -p "$E2E_HOME/portals"
cp /usr/share/xdg-desktop-portal/portals/gnome.portal "$E2E_HOME/portals/"
export XDG_DESKTOP_PORTAL_DIR=$E2E_HOME/portals
e2e_service portal-gnome env GDK_BACKEND=x11 "$GNOME_PORTAL"
e2e_service portal "$PORTAL"
portal_property() {
  dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
    org.freedesktop.DBus.Properties.Get "string:$1" string:version 2>&1
}
for _ in $(seq 100); do grep -q uint32 <<<"$(portal_property org.freedesktop.portal.Settings)" && break; sleep 0.1; done
grep -q uint32 <<<"$(portal_property org.freedesktop.portal.Settings)" || e2e_fail "the portal did not come up (see ${E2E_NAME}-portal*.log)"
grep -q uint32 <<<"$(portal_property org.freedesktop.portal.GlobalShortcuts)" &&
  e2e_fail "this GNOME portal offers GlobalShortcuts: the journey's premise no longer holds"
e2e_note "xdg-desktop-portal $(dpkg-query -W -f='${Version}' xdg-desktop-portal), xdg-desktop-portal-gnome $(dpkg-query -W -f='${Version}' xdg-desktop-portal-gnome): no GlobalShortcuts"

export XDG_SESSION_TYPE=wayland
e2e_start_app
ini=$XDG_CONFIG_HOME/wanshengxia/wanshengxia.ini
for _ in $(seq 50); do grep -q 'NoticeShown=true' "$ini" 2>/dev/null && break; sleep 0.1; done
grep -q 'NoticeShown=true' "$ini" 2>/dev/null || e2e_fail "no notification that the keys cannot work"
height=$(e2e_overview_height hotkeys-gnome-overview)
[ "$height" -gt 186 ] || e2e_fail "the overview says nothing of the keys that cannot work (height $height)"
e2e_note "told once, and the overview grows to $height px for its line"

# Minimising needs a window manager (menus opened by keys need none: twm keeps them shut).
e2e_start_wm
xdotool windowminimize "$E2E_WIN"
e2e_until e2e_hidden || e2e_fail "minimising did not hide the window"
e2e_tone_start 440
e2e_run_again --record
e2e_until e2e_recording || e2e_fail "--record did not record"
sleep 2
e2e_run_again --stop
e2e_until e2e_not_recording || e2e_fail "--stop did not stop"
e2e_tone_stop
e2e_run_again --play
e2e_until e2e_playing || e2e_fail "--play did not play"
e2e_expect_tone_played gnome-playback
freq=$E2E_FREQ
e2e_hidden || e2e_fail "the verbs brought the window back"
e2e_note "verbs while minimised: recorded, stopped, played ${freq} Hz"
