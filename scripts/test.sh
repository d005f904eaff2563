#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: installs the missing packages of
# running, building and testing (never removing one), builds the program and the tests twice
# (plain, and with AddressSanitizer + UndefinedBehaviorSanitizer), runs every test of both
# builds inside a private sound server (PulseAudio, or PipeWire on a PipeWire desktop) and a
# private X server, and runs each fuzz target for a bounded time. Nothing of the user's
# own desktop session, sound server or settings is touched.
#   scripts/test.sh            as yourself; sudo is asked for only to install packages
# Environment: WSX_FUZZ_SECONDS (default 60: the MCI command fuzzer, and half of it for each
# of the others, the file readers and the command line; 0 skips fuzzing);
# WSX_TEST_SOUND_SERVER=pulseaudio|pipewire chooses the private sound server by hand.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run build test
# Through sudo, the packages were the part that needed root: the builds and the tests run
# as the user who ran sudo, so the build folders stay theirs.
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
  exec sudo -u "$SUDO_USER" -H env ${WSX_FUZZ_SECONDS:+WSX_FUZZ_SECONDS=$WSX_FUZZ_SECONDS} \
    ${WSX_TEST_SOUND_SERVER:+WSX_TEST_SOUND_SERVER=$WSX_TEST_SOUND_SERVER} bash scripts/test.sh
fi

jobs=$(nproc)
status=0

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}

build build -DWSX_BUILD_TESTS=ON
build build-asan -DWSX_BUILD_TESTS=ON -DWSX_SANITIZE=ON

# The X and sound servers must come up: tests that need them would otherwise only skip.
export WSX_TEST_REQUIRE_SERVERS=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for dir in build build-asan; do
  echo "== tests of $dir"
  tests/support/test-session.sh ctest --test-dir "$dir" --output-on-failure --timeout 600 || status=1
done

seconds=${WSX_FUZZ_SECONDS:-60}
if [ "$seconds" -gt 0 ]; then
  # The MCI command target gets the seconds given, each of the others half of them.
  readers=$(( seconds > 1 ? seconds / 2 : 1 ))
  echo "== fuzzing: the MCI commands for ${seconds}s, each of the other targets for ${readers}s"
  CXX=clang++ build build-fuzz -DWSX_FUZZ=ON -DWSX_SANITIZE=ON -DWSX_BUILD_GUI=OFF -DWSX_BUILD_TESTS=OFF
  tests/fuzz/run-long.sh "$seconds" "$readers" build-fuzz || status=1
fi

exit $status
