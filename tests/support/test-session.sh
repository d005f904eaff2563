#!/usr/bin/env bash
# Runs a command inside a private test session: its own X server with a tray host
# (tests/support/x-env.sh) and its own sound server with a null sink that plays a 440 Hz
# tone (tests/support/pulse-env.sh). Everything started here is stopped when the command
# ends; the command's exit code is returned.
# With WSX_TEST_REQUIRE_SERVERS=1 (scripts/test.sh sets it) a server that does not come up
# fails the run instead of letting the tests that need it skip.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/x-env.sh" --tray "$here/pulse-env.sh" bash -c '
  if [ "${WSX_TEST_REQUIRE_SERVERS:-}" = 1 ]; then
    [ "${WSX_TEST_X:-}" = 1 ] || { echo "test-session: no X server came up (see above)" >&2; exit 1; }
    [ "${WSX_TEST_PULSE:-}" = 1 ] || { echo "test-session: no sound server came up (see above)" >&2; exit 1; }
  fi
  exec "$@"' test-session "$@"
