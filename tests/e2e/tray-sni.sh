# A panel whose tray (a StatusNotifierWatcher and host, stood in for on a private bus) comes
# up after the recorder: the icon leaves the XEmbed tray and registers with it, its frames
# arrive as NewIcon and a picture read, one per frame, with nothing written to disk for
# them; the host reads the tray menu and its clicks record and stop; Activate brings the
# hidden window back.
source "$(dirname "$0")/lib.sh"
STANDIN=${STANDIN:-$(dirname "$0")/../support/sni-standin.py}
/usr/bin/python3 -c 'import dbus, gi' 2>/dev/null ||
  { echo "SKIP: python3-dbus and python3-gi are not installed"; exit "$E2E_SKIP"; }
e2e_home
e2e_start_bus
log=$E2E_OUT/${E2E_NAME}-host.log
rm -f "$log"
host() {
  dbus-send --session --type=method_call --print-reply --dest=org.kde.StatusNotifierWatcher /Test \
    "io.github.wanshengxia.Test.$@" >/dev/null || e2e_fail "the stand-in host could not $1"
}
# Runs Python over the host's log: `entries` is the list of its JSON lines.
check() {
  /usr/bin/python3 - "$log" "$@" <<PY || e2e_fail "$1"
import json, sys
entries = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
$2
PY
}

e2e_start_wm
e2e_start_app
e2e_until e2e_tray_icon >/dev/null || e2e_fail "no XEmbed icon before the panel came"
/usr/bin/python3 "$STANDIN" "$log" >"$E2E_OUT/${E2E_NAME}-standin.log" 2>&1 &
standin=$!
trap 'kill $standin 2>/dev/null; e2e_cleanup' EXIT
for _ in $(seq 50); do grep -q '"register"' "$log" 2>/dev/null && break; sleep 0.1; done
check "the icon did not register with the late watcher as expected" '
reg = [e for e in entries if e["call"] == "register"]
assert len(reg) == 1, reg
r = reg[0]
assert r["service"].startswith("org.kde.StatusNotifierItem-"), r
assert (r["Id"], r["Title"], r["Category"], r["Status"]) == ("wanshengxia", "万声匣", "ApplicationStatus", "Active"), r
assert r["Menu"] == "/MenuBar" and r["ToolTip"] == "等待录音", r
assert [(p["w"], p["h"], p["bytes"]) for p in r["IconPixmap"]] == [(32, 32, 4096)], r
print("registered:", r["service"])'
no_xembed_icon() { ! e2e_tray_icon >/dev/null; }
e2e_until no_xembed_icon || e2e_fail "the XEmbed icon stayed in the old tray"
e2e_note "late watcher: the icon moved to it"

host Layout
check "the menu layout is not the tray menu" '
layout = [e for e in entries if e["call"] == "layout"][-1]
assert layout["Version"] == 3, layout
shown = [(p.get("label"), p.get("enabled")) if p.get("type") != "separator" else "-"
         for _, p in layout["entries"]]
assert shown == [("显示声匣", False), "-", ("声匣热键一览", True), "-", ("录音", True), ("停止", False),
                 ("播放", False), "-", ("关于声匣", True), "-", ("退出声匣", True)], shown'

xdotool windowminimize "$E2E_WIN"
e2e_until e2e_hidden || e2e_fail "minimising did not hide the window with an SNI host"
e2e_tone_start 440
host Click string:录音
e2e_until e2e_recording || e2e_fail "录音 chosen in the host's menu did not record"
sleep 0.5
# The animation: every frame a NewIcon and one read, and nothing opened for writing.
before=$(grep -c '"frame"' "$log")
write_opens=skipped
if command -v strace >/dev/null; then
  trace=$E2E_OUT/${E2E_NAME}-strace.log
  # sendmsg too: the frames go out on the bus that way, which shows strace was attached.
  timeout 2 strace -f -qq -e trace=openat,creat,rename,renameat2,unlink,unlinkat,sendmsg -o "$trace" -p "$E2E_APP_PID" 2>/dev/null
  [ "$(grep -c sendmsg "$trace")" -ge 20 ] || e2e_fail "strace saw no bus messages: not attached?"
  write_opens=$(grep -cE 'O_WRONLY|O_RDWR|O_CREAT|creat\(|rename|unlink' "$trace")
  [ "$write_opens" = 0 ] || e2e_fail "files written while animating: $(grep -E 'O_WRONLY|O_RDWR|O_CREAT|rename|unlink' "$E2E_OUT/${E2E_NAME}-strace.log" | head -5)"
else
  sleep 2
fi
frames=$(( $(grep -c '"frame"' "$log") - before ))
[ "$frames" -ge 20 ] && [ "$frames" -le 50 ] || e2e_fail "$frames frames in 2 s (20 a second expected)"
check "the frames are not the recording animation" '
frames = [e for e in entries if e["call"] == "frame"]
shas = {p["sha"] for f in frames for p in f["IconPixmap"]}
assert all(len(f["IconPixmap"]) == 1 and f["IconPixmap"][0]["w"] == 32 for f in frames), frames[-1]
assert len(shas) >= 6, shas
tips = [e["ToolTip"] for e in entries if e["call"] == "tooltip"]
assert tips[-1:] == ["正在录音..."], tips'
e2e_note "recording: $frames frames in 2 s, file writes while animating: $write_opens"
host Click string:停止
e2e_until e2e_not_recording || e2e_fail "停止 chosen in the host's menu did not stop"
e2e_tone_stop
sleep 0.3
host Layout
check "the menu did not follow the stop" '
assert any(e["call"] == "layout-updated" for e in entries)
layout = [e for e in entries if e["call"] == "layout"][-1]
enabled = {p.get("label"): p.get("enabled") for _, p in layout["entries"]}
assert enabled["显示声匣"] and enabled["播放"] and not enabled["停止"], enabled'
e2e_hidden || e2e_fail "the menu clicks brought the window back"

host Activate
e2e_until e2e_viewable || e2e_fail "Activate on the icon did not bring the window back"
e2e_shot tray-sni-restored
e2e_note "host menu recorded and stopped while hidden; Activate restored the window"
