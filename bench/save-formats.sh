#!/usr/bin/env bash
# Saving an hour's take as WAV, FLAC, Opus and MP3 from the engine, beside the usual command
# line encoders converting the WAV it saved: sox for FLAC and MP3 (sox has no Opus writer),
# opusenc for Opus. Prints seconds and sizes.
#   bench/save-formats.sh BUILD_DIR [MINUTES]      (default 60)
set -uo pipefail
build=${1:-build}
minutes=${2:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/export_bench" "$work" "$minutes" || exit 1
timed() {  # LABEL FILE COMMAND...
  local label=$1 file=$2 start end
  shift 2
  start=$(date +%s.%N)
  if "$@" >/dev/null 2>&1; then
    end=$(date +%s.%N)
    awk -v l="$label" -v s="$start" -v e="$end" -v b="$(stat -c %s "$file")" \
      'BEGIN { printf "  %-11s %7.2f s  %8.1f MB\n", l, e - s, b / 1e6 }'
  else
    printf '  %-11s (not available here)\n' "$label"
  fi
}
timed "sox flac" "$work/sox.flac" sox "$work/take.wav" -C 5 "$work/sox.flac"
timed "sox mp3" "$work/sox.mp3" sox "$work/take.wav" -C -4.2 "$work/sox.mp3"
timed "opusenc" "$work/opusenc.opus" opusenc --bitrate 64 --vbr "$work/take.wav" "$work/opusenc.opus"
