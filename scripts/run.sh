#!/usr/bin/env bash
# Sets everything up and starts the recorder: installs the packages that are missing,
# builds build/wanshengxia, and runs it on the current desktop.
#   scripts/run.sh            (as root, or a user with sudo for the package step)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: 没有图形显示（DISPLAY 和 WAYLAND_DISPLAY 都未设置）：请在桌面会话中运行。" >&2
  echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): run this from a desktop session." >&2
  exit 1
fi

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)"
exec build/wanshengxia
