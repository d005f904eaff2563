#!/usr/bin/env bash
# Sets up and starts the recorder for the person at this desktop: installs the missing
# packages of running and building (never a test tool, never a sound server, never removing a
# package), builds build/wanshengxia and starts it in the current desktop session.
#   scripts/run.sh             as yourself; sudo is asked for only to install packages
# Run through sudo (sudo scripts/run.sh), it installs as root, then builds and starts the
# recorder as the user who ran sudo, in that user's session: a recorder started as root could
# not reach the user's sound server, and its files would belong to root.
set -euo pipefail
cd "$(dirname "$0")/.."

say() { printf 'run.sh: %s\n' "$@" >&2; }
refuse() { say "$@"; exit 1; }

# The desktop user when this runs through sudo or pkexec; empty when run as oneself.
user=
if [ "$(id -u)" -eq 0 ]; then
  if [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
    user=$SUDO_USER
  elif [ -n "${PKEXEC_UID:-}" ] && [ "$PKEXEC_UID" != 0 ]; then
    user=$(id -nu "$PKEXEC_UID")
  fi
fi

session_env=()
if [ -n "$user" ]; then
  uid=$(id -u "$user")
  runtime=/run/user/$uid
  [ -d "$runtime" ] ||
    refuse "找不到用户 $user 的桌面会话（$runtime 不存在）。请不用 sudo，以 $user 的身份直接运行 scripts/run.sh。" \
           "no desktop session of $user ($runtime does not exist): run scripts/run.sh as $user, without sudo."
  # sudo keeps DISPLAY and XAUTHORITY but drops the session's runtime folder, Wayland socket
  # and bus; they are found again in the user's runtime folder.
  wayland=${WAYLAND_DISPLAY:-}
  if [ -z "$wayland" ] && [ -S "$runtime/wayland-0" ]; then wayland=wayland-0; fi
  session_env=(XDG_RUNTIME_DIR="$runtime")
  [ -n "${DISPLAY:-}" ] && session_env+=(DISPLAY="$DISPLAY")
  [ -n "${XAUTHORITY:-}" ] && session_env+=(XAUTHORITY="$XAUTHORITY")
  [ -n "$wayland" ] && session_env+=(WAYLAND_DISPLAY="$wayland")
  [ -S "$runtime/bus" ] && session_env+=(DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus")
  for name in XDG_SESSION_TYPE XDG_CURRENT_DESKTOP PULSE_SERVER; do
    [ -n "${!name:-}" ] && session_env+=("$name=${!name}")
  done
  [ -n "${DISPLAY:-}$wayland" ] ||
    refuse "找不到用户 $user 的图形显示。请不用 sudo，在桌面会话中以 $user 的身份运行 scripts/run.sh。" \
           "cannot find $user's display: run scripts/run.sh as $user from the desktop session, without sudo."
  sudo -u "$user" test -w . ||
    refuse "用户 $user 不能写入 $PWD，无法以该用户的身份构建。" \
           "$user cannot write to $PWD, so the recorder cannot be built as $user."
  as_user=(sudo -u "$user" -H env "${session_env[@]}")
else
  [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] ||
    refuse "没有图形显示（DISPLAY 和 WAYLAND_DISPLAY 都未设置）：请在桌面会话中运行。" \
           "no display (neither DISPLAY nor WAYLAND_DISPLAY is set): run this from a desktop session."
  as_user=()
fi

bash scripts/install-deps.sh run build
"${as_user[@]}" cmake -S . -B build -G Ninja -DWSX_BUILD_TESTS=OFF >/dev/null
"${as_user[@]}" cmake --build build -j"$(nproc)" --target wanshengxia wsx_help

# libpulse finds the server through PULSE_SERVER or the socket in the runtime folder, which
# PipeWire's pipewire-pulse and PulseAudio both serve (a socket-activated one starts on use).
"${as_user[@]}" bash -c '[ -n "${PULSE_SERVER:-}" ] || [ -S "${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/pulse/native" ]' ||
  say "没有找到正在运行的声音服务器（PipeWire 的 pipewire-pulse 或 PulseAudio）：录音将无法开始。" \
      "no sound server is running (PipeWire's pipewire-pulse or PulseAudio): recording will not start."

exec "${as_user[@]}" build/wanshengxia
