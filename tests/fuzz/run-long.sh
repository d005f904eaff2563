#!/usr/bin/env bash
# Runs every libFuzzer target one after another, single process, and prints per target
# the executions, the coverage (libFuzzer's "cov" points, the edges it has seen) and the
# corpus size at the end.
#   tests/fuzz/run-long.sh SECONDS [READER_SECONDS] [BUILD_DIR]
# SECONDS for the MCI command target, READER_SECONDS (default SECONDS) for each of the
# others (the file readers and the command line). BUILD_DIR (default build-fuzz) must hold
# a fuzz build:
#   CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DWSX_FUZZ=ON -DWSX_SANITIZE=ON \
#     -DWSX_BUILD_GUI=OFF -DWSX_BUILD_TESTS=OFF
# The corpus grows in BUILD_DIR/fuzz-corpus/<target> (started from seeds/<target>), so a
# later run goes on where this one stopped; a failing input lands in
# BUILD_DIR/fuzz-artifacts and each target's log in BUILD_DIR/fuzz-logs. The targets write
# only inside a private folder under a TMPDIR this script makes and removes.
# WSX_FUZZ_TARGETS chooses some of the targets; WSX_FUZZ_FLAGS adds libFuzzer flags, e.g.
# -max_len=512 to keep a long run's commands short and its executions many.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:?usage: run-long.sh SECONDS [READER_SECONDS] [BUILD_DIR]}
readerSeconds=${2:-$seconds}
build=$(cd "${3:-$here/../../build-fuzz}" && pwd) || exit 2
# libFuzzer takes 0 seconds as "no limit".
[ "$seconds" -gt 0 ] && [ "$readerSeconds" -gt 0 ] || { echo "run-long.sh: seconds must be > 0"; exit 2; }
allTargets="mci_command take_journal take_folder wav_reader autostart_entry desktop_quoting settings_reader
  command_line"
targets=${WSX_FUZZ_TARGETS:-$allTargets}

scratch=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/wsx-fuzz-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$build/fuzz-artifacts" "$build/fuzz-logs"

status=0
printf '%-18s %7s %12s %8s %6s %8s  %s\n' target seconds executions exec/s cov corpus result
for target in $targets; do
  fuzzer=$build/tests/fuzz/${target}_fuzzer
  corpus=$build/fuzz-corpus/$target
  log=$build/fuzz-logs/$target.log
  time=$readerSeconds
  [ "$target" = mci_command ] && time=$seconds
  [ -x "$fuzzer" ] || { echo "run-long.sh: no $fuzzer (not a fuzz build?)"; exit 2; }
  mkdir -p "$corpus"
  cp -n "$here/seeds/$target"/* "$corpus"/ 2>/dev/null
  dict=()
  [ -f "$here/dict/$target.dict" ] && dict=(-dict="$here/dict/$target.dict")
  # WSX_FUZZ_FLAGS come last: libFuzzer keeps the last value of a flag given twice.
  # shellcheck disable=SC2086 # the flags are separate words
  if "$fuzzer" "${dict[@]}" -max_total_time="$time" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target-" \
       ${WSX_FUZZ_FLAGS:-} "$corpus" >"$log" 2>&1; then
    result=clean
  else
    result="FAILED (log: $log)"
    status=1
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  # libFuzzer's own count: the folder also keeps inputs it has since reduced.
  units=$(grep -o 'corp: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  printf '%-18s %7s %12s %8s %6s %8s  %s\n' "$target" "$time" "${execs:-?}" "${rate:-?}" \
    "${cov:-?}" "${units:-?}" "$result"
  [ "$result" = clean ] || tail -30 "$log"
done
exit $status
