#!/usr/bin/env bash
# Start-up figures, median of 10 each: launch to the window being mapped (polled every 20 ms,
# not xdotool's 0.5 s steps), and a second start handing its verb over to the running
# recorder on a private session bus and ending.
#   bench/startup.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
support=$here/../tests/support
exec "$support/x-env.sh" --tray "$support/pulse-env.sh" --no-tone bash -s "$build" "$here" <<'SCRIPT'
set -uo pipefail
[ "${WSX_TEST_PULSE:-}" = 1 ] && [ "${WSX_TEST_X:-}" = 1 ] || { echo "no X or sound server: nothing measured"; exit 1; }
build=$1; here=$2
. "$here/lib.sh"
work=$(mktemp -d)
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$out")
bus=$(sed -n 2p <<<"$out")
trap 'kill $bus 2>/dev/null; rm -rf "$work"' EXIT


launches=() handovers=()
for i in $(seq 10); do
  start=$(date +%s.%N)
  "$build/wanshengxia" >"$work/app.log" 2>&1 &
  app=$!
  until [ -n "$(xdotool search --onlyvisible --name '^万声匣$' 2>/dev/null)" ]; do sleep 0.02; done
  end=$(date +%s.%N)
  launches+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
  sleep 0.5
  start=$(date +%s.%N)
  "$build/wanshengxia" --show >>"$work/again.log" 2>&1 || echo "hand-over $i failed: $(tail -1 "$work/again.log")"
  end=$(date +%s.%N)
  handovers+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
  kill $app; wait $app 2>/dev/null
done
echo "launches: ${launches[*]}"; echo "hand-overs: ${handovers[*]}"
echo "launch to mapped window, median of 10 (20 ms polls): $(printf '%s\n' "${launches[@]}" | median | xargs printf '%.3f') s"
echo "second start handing over and ending, median of 10: $(printf '%s\n' "${handovers[@]}" | median | xargs printf '%.3f') s"
SCRIPT
