#!/usr/bin/env bash
# Runs a command inside a private test session: its own X server with a tray host
# (tests/support/x-env.sh) and its own PulseAudio server with a null sink that plays a
# 440 Hz tone (tests/support/pulse-env.sh). Everything started here is stopped when the
# command ends; the command's exit code is returned.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/x-env.sh" --tray "$here/pulse-env.sh" "$@"
