#!/usr/bin/env bash
# A private X display for tests: Xvfb on a free display number (chosen by Xvfb itself), no
# window manager (many bind Ctrl+Alt+arrows), optionally the `trayer` notification area.
#
# Run a command with it:
#   tests/support/x-env.sh [--tray] COMMAND [ARGS...]
# The command sees DISPLAY, WSX_TEST_X=1, a private XDG_RUNTIME_DIR when none was set, and
# DBUS_SESSION_BUS_ADDRESS=disabled: (so Qt launches no session bus that would outlive the
# run); with --tray also WSX_TEST_TRAY=1 once trayer owns the tray selection. Everything
# started is stopped by PID afterwards; the exit code is the command's. When Xvfb cannot
# start, the reason is printed and the command still runs without a display, so its tests
# skip and say why.
#
# Or source it and call `wsx_x_start [--tray]` / `wsx_x_stop` yourself; the variables above
# are then exported into the sourcing shell. wsx_x_start returns non-zero when no display
# came up (a missing trayer only costs WSX_TEST_TRAY).

wsx_x_start() {
    local tray=0
    [ "${1-}" = --tray ] && tray=1
    WSX_X_DIR=$(mktemp -d "${TMPDIR:-/tmp}/wsx-x.XXXXXX") || return 1
    WSX_X_PID=
    WSX_X_TRAY_PID=
    WSX_X_OLD_DISPLAY=${DISPLAY-}
    WSX_X_OLD_XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR-}
    WSX_X_OWN_RUNTIME=0
    unset WSX_TEST_X WSX_TEST_TRAY

    if [ -z "${XDG_RUNTIME_DIR-}" ]; then
        mkdir -p "$WSX_X_DIR/runtime" && chmod 700 "$WSX_X_DIR/runtime"
        export XDG_RUNTIME_DIR="$WSX_X_DIR/runtime"
        WSX_X_OWN_RUNTIME=1
    fi
    export DBUS_SESSION_BUS_ADDRESS=disabled:
    unset WAYLAND_DISPLAY   # Qt would prefer Wayland over the display started here

    if ! command -v Xvfb >/dev/null 2>&1; then
        echo "x-env: Xvfb is not installed (Debian package xvfb); desktop tests will skip" >&2
        unset DISPLAY
        return 1
    fi
    # -displayfd: Xvfb picks a free display number and writes it to the descriptor once it
    # accepts connections. -noreset: by default the server resets whenever its last client
    # leaves, and a client connecting during the reset is refused (a test that merely probes
    # the display would make the next one skip).
    : >"$WSX_X_DIR/display"   # read below before the background job may have made it
    Xvfb -displayfd 3 -noreset -screen 0 1280x800x24 -nolisten tcp \
        3>"$WSX_X_DIR/display" </dev/null >"$WSX_X_DIR/xvfb.log" 2>&1 &
    WSX_X_PID=$!

    local i number=
    for i in $(seq 100); do
        if ! kill -0 "$WSX_X_PID" 2>/dev/null; then
            echo "x-env: Xvfb exited at start; its log:" >&2
            tail -n 20 "$WSX_X_DIR/xvfb.log" >&2
            WSX_X_PID=
            unset DISPLAY
            return 1
        fi
        # The number is complete once its line ends.
        if [ "$(wc -l <"$WSX_X_DIR/display")" -ge 1 ]; then
            number=$(head -n 1 "$WSX_X_DIR/display")
            break
        fi
        sleep 0.1
    done
    if [ -z "$number" ]; then
        echo "x-env: Xvfb did not report a display within 10 s; its log:" >&2
        tail -n 20 "$WSX_X_DIR/xvfb.log" >&2
        unset DISPLAY
        return 1
    fi
    export DISPLAY=":$number"
    export WSX_TEST_X=1

    if [ "$tray" = 1 ]; then
        if command -v trayer >/dev/null 2>&1; then
            trayer --edge top --align right --widthtype request --height 24 --transparent false \
                </dev/null >"$WSX_X_DIR/trayer.log" 2>&1 &
            WSX_X_TRAY_PID=$!
            # Ready once its panel window exists (it takes the tray selection before that).
            for i in $(seq 50); do
                if wsx_x_tray_ready; then
                    export WSX_TEST_TRAY=1
                    break
                fi
                kill -0 "$WSX_X_TRAY_PID" 2>/dev/null || break
                sleep 0.1
            done
            [ -n "${WSX_TEST_TRAY-}" ] || {
                echo "x-env: trayer did not take the notification area; its log:" >&2
                tail -n 20 "$WSX_X_DIR/trayer.log" >&2
            }
        else
            echo "x-env: trayer is not installed; no notification area" >&2
        fi
    fi
    return 0
}

# Whether trayer's panel window is on the display (x11-utils' xwininfo).
wsx_x_tray_ready() {
    xwininfo -root -tree 2>/dev/null | grep -q '("panel" "trayer")'
}

# Stops what wsx_x_start started (by PID) and removes its folder.
wsx_x_stop() {
    local pid i
    for pid in ${WSX_X_TRAY_PID-} ${WSX_X_PID-}; do
        kill "$pid" 2>/dev/null || continue
        for i in $(seq 30); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    WSX_X_TRAY_PID=
    WSX_X_PID=
    [ -n "${WSX_X_DIR-}" ] && rm -rf "$WSX_X_DIR"
    WSX_X_DIR=
    unset WSX_TEST_X WSX_TEST_TRAY
    if [ -n "${WSX_X_OLD_DISPLAY-}" ]; then export DISPLAY="$WSX_X_OLD_DISPLAY"; else unset DISPLAY; fi
    if [ "${WSX_X_OWN_RUNTIME-0}" = 1 ]; then
        if [ -n "${WSX_X_OLD_XDG_RUNTIME_DIR-}" ]; then
            export XDG_RUNTIME_DIR="$WSX_X_OLD_XDG_RUNTIME_DIR"
        else
            unset XDG_RUNTIME_DIR
        fi
    fi
    return 0
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    tray_flag=
    if [ "${1-}" = --tray ]; then
        tray_flag=--tray
        shift
    fi
    if [ $# -eq 0 ]; then
        echo "usage: $0 [--tray] COMMAND [ARGS...]" >&2
        exit 2
    fi
    trap 'wsx_x_stop' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    if ! wsx_x_start $tray_flag; then
        echo "x-env: running '$1' without an X display" >&2
    fi
    "$@"
    exit $?
fi
