#!/usr/bin/env bash
# Runs one end-to-end journey in its own X server (with a tray host) and its own sound
# server, so journeys never see each other's windows, keys or sound.
#   run-journey.sh JOURNEY.sh      (from the build folder: the program is ./wanshengxia)
# Exit 77 (skipped) when the tools or servers are not there.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
support=$here/../support
for tool in xdotool sox parecord import Xvfb; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done
exec "$support/x-env.sh" --tray "$support/pulse-env.sh" --no-tone bash -c '
  [ "${WSX_TEST_X:-}" = 1 ] || { echo "SKIP: no X server could start"; exit 77; }
  [ "${WSX_TEST_PULSE:-}" = 1 ] || { echo "SKIP: no sound server could start"; exit 77; }
  E2E_NAME=$(basename "$1" .sh) exec bash "$1"' journey "$here/$1"
