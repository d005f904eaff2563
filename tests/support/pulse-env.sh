#!/usr/bin/env bash
# A private sound server for tests (tests/support/sound-server.sh: PulseAudio, or PipeWire
# where PipeWire is the desktop's server) with a null sink "testsink" (default sink; its
# monitor is the default source), reachable only through a socket in a fresh temporary
# folder, so parallel runs and the user's own server never meet. Works as root.
#
# Run a command with it:
#   tests/support/pulse-env.sh [--no-tone] COMMAND [ARGS...]
# The command sees PULSE_SERVER (unix:/…/native), a private XDG_RUNTIME_DIR and PULSE_COOKIE,
# WSX_TEST_PULSE=1, and WSX_TEST_TONE_HZ=440 while a 440 Hz tone plays into the sink (with
# --no-tone, silence plays instead: it keeps the sink's latency short), and
# WSX_TEST_SOUND_SERVER_PGID, the server's process group (kill -9 -- -PGID is a server crash).
# Everything started is stopped afterwards; the exit code is the command's. When no server can be started the reason is printed and the command still
# runs without WSX_TEST_PULSE, so its tests skip and say why.
#
# Or source it and call `wsx_pulse_start [--no-tone]` / `wsx_pulse_stop` yourself; the
# variables above are then exported into the sourcing shell. wsx_pulse_start returns
# non-zero when the server did not come up.

wsx_pulse_start() {
    local tone=1
    [ "${1-}" = --no-tone ] && tone=0
    WSX_PULSE_DIR=$(mktemp -d "${TMPDIR:-/tmp}/wsx-pulse.XXXXXX") || return 1
    WSX_PULSE_PID=
    WSX_PULSE_TONE_PID=
    mkdir -p "$WSX_PULSE_DIR/runtime" && chmod 700 "$WSX_PULSE_DIR/runtime"

    "$(dirname "${BASH_SOURCE[0]}")/sound-server.sh" --which >/dev/null || {
        echo "pulse-env: no sound server is installed; sound tests will skip" >&2
        return 1
    }
    # Its own process group and session, so that stopping it (or a test killing it as a
    # crash) reaches every process of the server and nothing else.
    setsid "$(dirname "${BASH_SOURCE[0]}")/sound-server.sh" "$WSX_PULSE_DIR/server" \
        </dev/null >"$WSX_PULSE_DIR/start.log" 2>&1 &
    WSX_PULSE_PID=$!
    export WSX_TEST_SOUND_SERVER_PGID=$WSX_PULSE_PID
    local socket="$WSX_PULSE_DIR/server/native"

    WSX_PULSE_OLD_XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR-}
    export PULSE_SERVER="unix:$socket"
    export XDG_RUNTIME_DIR="$WSX_PULSE_DIR/runtime"
    export PULSE_COOKIE="$WSX_PULSE_DIR/cookie"   # clients would otherwise write one to $HOME
    unset WSX_TEST_PULSE WSX_TEST_TONE_HZ

    local i
    for i in $(seq 200); do
        [ -e "$WSX_PULSE_DIR/server/ready" ] && break
        if ! kill -0 "$WSX_PULSE_PID" 2>/dev/null; then
            echo "pulse-env: the sound server exited at start:" >&2
            cat "$WSX_PULSE_DIR/start.log" >&2
            tail -n 20 "$WSX_PULSE_DIR/server/server.log" >&2 2>/dev/null
            WSX_PULSE_PID=
            return 1
        fi
        sleep 0.1
    done
    if [ ! -e "$WSX_PULSE_DIR/server/ready" ]; then
        echo "pulse-env: the sound server did not come up within 20 s; its log:" >&2
        tail -n 20 "$WSX_PULSE_DIR/server/server.log" >&2 2>/dev/null
        return 1
    fi
    export WSX_TEST_PULSE=1

    # A player keeps the sink rendering at a short latency: an idle null sink renders up to
    # 2 s ahead, and a stream that connects then is heard, or records, only that much later.
    # With --no-tone it plays silence. PULSE_LATENCY_MSEC makes the player ask for it.
    if command -v sox >/dev/null 2>&1; then
        local volume=0.5
        [ "$tone" = 1 ] || volume=0
        PULSE_LATENCY_MSEC=100 sox -q -n -t pulseaudio default synth 3600 sine 440 vol $volume \
            </dev/null >"$WSX_PULSE_DIR/sox.log" 2>&1 &
        WSX_PULSE_TONE_PID=$!
        # The short latency holds once what was rendered while idle has played out.
        local latency=
        for i in $(seq 50); do
            latency=$(pactl list sinks 2>/dev/null |
                      sed -n 's/^[[:space:]]*Latency: \([0-9]*\) usec.*/\1/p' | head -n 1)
            [ -n "$(pactl list short sink-inputs 2>/dev/null)" ] &&
                [ -n "$latency" ] && [ "$latency" -lt 100000 ] && break
            sleep 0.1
        done
        if [ -z "$(pactl list short sink-inputs 2>/dev/null)" ]; then
            echo "pulse-env: the player did not start:" >&2
            cat "$WSX_PULSE_DIR/sox.log" >&2
        elif [ "$tone" = 1 ]; then
            export WSX_TEST_TONE_HZ=440
        fi
        [ "${latency:-999999999}" -lt 100000 ] ||
            echo "pulse-env: the sink still renders ${latency:-?} us ahead" >&2
    else
        echo "pulse-env: sox is not installed; no tone, and the idle sink starts streams late" >&2
    fi
    return 0
}

# Stops what wsx_pulse_start started and removes its folder. The server is asked to stop
# (it stops what it started), then its whole process group is killed.
wsx_pulse_stop() {
    local pid i
    for pid in ${WSX_PULSE_TONE_PID-} ${WSX_PULSE_PID-}; do
        kill "$pid" 2>/dev/null || continue
        for i in $(seq 30); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    [ -n "${WSX_PULSE_PID-}" ] && kill -9 -- "-$WSX_PULSE_PID" 2>/dev/null
    WSX_PULSE_TONE_PID=
    WSX_PULSE_PID=
    [ -n "${WSX_PULSE_DIR-}" ] && rm -rf "$WSX_PULSE_DIR"
    WSX_PULSE_DIR=
    unset PULSE_SERVER PULSE_COOKIE WSX_TEST_PULSE WSX_TEST_TONE_HZ WSX_TEST_SOUND_SERVER_PGID
    if [ -n "${WSX_PULSE_OLD_XDG_RUNTIME_DIR-}" ]; then
        export XDG_RUNTIME_DIR="$WSX_PULSE_OLD_XDG_RUNTIME_DIR"
    else
        unset XDG_RUNTIME_DIR
    fi
    return 0
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    tone_flag=
    if [ "${1-}" = --no-tone ]; then
        tone_flag=--no-tone
        shift
    fi
    if [ $# -eq 0 ]; then
        echo "usage: $0 [--no-tone] COMMAND [ARGS...]" >&2
        exit 2
    fi
    trap 'wsx_pulse_stop' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    if ! wsx_pulse_start $tone_flag; then
        echo "pulse-env: running '$1' without a sound server" >&2
        unset PULSE_SERVER WSX_TEST_PULSE WSX_TEST_TONE_HZ
    fi
    "$@"
    exit $?
fi
