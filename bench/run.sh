#!/usr/bin/env bash
# Every benchmark in one run, each beside its peer measured at the same time:
#   bench/run.sh [BUILD_DIR]        (default: build; builds it first)
# Figures only: benchmarks are not tests and do not fail on a target.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -G Ninja >/dev/null && cmake --build "$build" -j"$(nproc)" >/dev/null || exit 1
support=tests/support
echo "== capture: mcishell beside parecord, 5 rounds of 30 s at 22050 Hz stereo from the null-sink monitor"
bench/capture-vs-parecord.sh "$build" 30 5
echo
echo "== the recorder recording 30 s with the window open and the tray animating, beside parecord"
bench/app-vs-parecord.sh "$build" 30
echo
echo "== tray animation: 216000 frames (three hours at 50 ms) back to back under trayer"
"$support/x-env.sh" --tray "$build/bench/animation_bench" 216000
echo
echo "== engine on the virtual clock: a 9 h take, cuts on it, an hour's save beside cp"
"$build/bench/engine_bench" 9
echo
echo "== an hour's take saved as WAV, FLAC, Opus and MP3, beside sox and opusenc from the WAV"
bench/save-formats.sh "$build" 60
