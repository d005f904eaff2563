# 帮助主题 (Alt+H, T) as the desktop's MIME database allows: record.chm in the CHM viewer
# when there is one, help/index.html in the browser when there is not, and a box when
# neither exists. The desktop here knows only the programs this journey installs in its
# private XDG folders (the system's own applications are out of sight); each "program"
# writes down what it was given.
source "$(dirname "$0")/lib.sh"
e2e_home
command -v update-desktop-database >/dev/null ||
  { echo "SKIP: update-desktop-database is not installed (Debian package desktop-file-utils)"; exit "$E2E_SKIP"; }
export XDG_DATA_HOME=$E2E_HOME/.local/share XDG_DATA_DIRS=$E2E_HOME/system
apps=$XDG_DATA_HOME/applications
mkdir -p "$apps" "$XDG_DATA_DIRS"
ln -s /usr/share/mime "$XDG_DATA_DIRS/mime"  # the MIME types themselves stay known
opened=$E2E_HOME/opened

# install_program NAME MIME-TYPES: a desktop entry whose program appends "NAME FILE" to $opened.
install_program() {
  printf '#!/bin/sh\necho "%s $*" >> "%s"\n' "$1" "$opened" >"$E2E_HOME/$1.sh"
  chmod +x "$E2E_HOME/$1.sh"
  printf '[Desktop Entry]\nType=Application\nName=%s\nExec=%s %%f\nMimeType=%s\n' \
    "$1" "$E2E_HOME/$1.sh" "$2" >"$apps/$1.desktop"
  update-desktop-database "$apps"
}

# Waits up to 5 s for a program to have been given something.
opened_something() {
  for _ in $(seq 50); do [ -s "$opened" ] && return 0; sleep 0.1; done
  return 1
}

# open_help: one start of the recorder, Help > Help Topics.
open_help() {
  rm -f "$opened"
  e2e_start_app
  e2e_keys "$E2E_WIN" alt+h
  xdotool key t
}

[ -f "$PWD/record.chm" ] || e2e_fail "the build has no record.chm"
[ -f "$PWD/help/index.html" ] || e2e_fail "the build has no help/index.html"

# A CHM viewer known by the type's other name, and a browser: the CHM opens.
install_program chmviewer 'application/x-chm;'
install_program browser 'text/html;'
open_help
opened_something || e2e_fail "nothing was opened with a CHM viewer installed"
grep -qx "chmviewer $PWD/record.chm" "$opened" || e2e_fail "the viewer was not given record.chm: $(cat "$opened")"
e2e_note "with a viewer: $(cat "$opened")"
e2e_stop_app

# No viewer: the HTML index in the browser.
rm "$apps/chmviewer.desktop" && update-desktop-database "$apps"
open_help
opened_something || e2e_fail "nothing was opened without a CHM viewer"
grep -qx "browser $PWD/help/index.html" "$opened" || e2e_fail "the browser was not given the index: $(cat "$opened")"
e2e_note "without a viewer: $(cat "$opened")"
e2e_stop_app

# Neither: the recorder says so in a box and opens nothing.
rm "$apps/browser.desktop" && update-desktop-database "$apps"
open_help
e2e_wait_box
e2e_shot help-nothing-opens
e2e_keys "$E2E_DIALOG" Return
sleep 0.5
[ -e "$opened" ] && e2e_fail "something was opened with no program for either: $(cat "$opened")"
e2e_note "with neither: a box"
e2e_stop_app
