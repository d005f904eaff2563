# The window under a real window manager, openbox, whose title bar shows only the buttons
# for what it allows the window (_NET_WM_ALLOWED_ACTIONS): the recorder window can be
# minimised but not maximised, the hot-key overview and About not maximised; at 100 % and
# at 200 % (QT_SCALE_FACTOR=2). openbox reads nothing but the size hints for maximising and
# keeps minimise on every window without an owner (the dialogs have none, as laid out),
# whatever the Motif hints ask. The screenshots (build/e2e-output) are for looking at:
# nothing cut off, no caption touching its neighbour. window.png is the README's picture.
source "$(dirname "$0")/lib.sh"
e2e_home
e2e_start_openbox

# Window $1 (called $2) may do what openbox allows it: the actions in $3 and none in $4.
check_actions() {
  local actions
  actions=$(e2e_allowed_actions "$1")
  for action in $3; do
    grep -qx "_NET_WM_ACTION_$action" <<<"$actions" || e2e_fail "$2 cannot $action: $actions"
  done
  for action in $4; do
    grep -qx "_NET_WM_ACTION_$action" <<<"$actions" && e2e_fail "$2 allows $action: $actions"
  done
  return 0
}

for scale in 1 2; do
  export QT_SCALE_FACTOR=$scale
  e2e_start_app
  check_actions "$E2E_WIN" "the window at $scale×" "MINIMIZE CLOSE" "MAXIMIZE_HORZ MAXIMIZE_VERT"
  e2e_shot "$E2E_NAME-main-$scale"
  [ "$scale" = 1 ] && import -frame -window "$E2E_WIN" "$E2E_OUT/window.png"

  e2e_keys "$E2E_WIN" alt+h
  sleep 0.3
  xdotool key Down Return  # the menu opens on 帮助主题; the next item is the overview
  e2e_wait_dialog 声匣热键一览
  check_actions "$E2E_DIALOG" "the overview at $scale×" "CLOSE" "MAXIMIZE_HORZ MAXIMIZE_VERT"
  e2e_shot "$E2E_NAME-overview-$scale"
  e2e_keys "$E2E_DIALOG" Escape

  e2e_keys "$E2E_WIN" alt+h
  xdotool key a
  e2e_wait_dialog '关于 万声匣'
  check_actions "$E2E_DIALOG" "About at $scale×" "CLOSE" "MAXIMIZE_HORZ MAXIMIZE_VERT"
  e2e_shot "$E2E_NAME-about-$scale"
  e2e_keys "$E2E_DIALOG" Escape
  e2e_stop_app
  e2e_note "at $scale×: no maximise on the window nor on the dialogs"
done
