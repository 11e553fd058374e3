#!/usr/bin/env bash
# Runs the archive fuzzer of a HALVARIN_FUZZ build for a bounded time
# (SECONDS, else $HALVARIN_FUZZ_SECONDS, else 60).
#
#   tests/archive/fuzz/run-archive-fuzz.sh BUILD_DIR [SECONDS] [extra libFuzzer options]
#
# The corpus grows in BUILD_DIR/fuzz-work/corpus and is kept between runs,
# so a longer run later starts where this one ended; crashing inputs land in
# BUILD_DIR/fuzz-work/artifacts. The seeds are written afresh every time.
set -euo pipefail
build="${1:?usage: run-archive-fuzz.sh BUILD_DIR [SECONDS] [libFuzzer options]}"
seconds="${2:-${HALVARIN_FUZZ_SECONDS:-60}}"
shift $(($# < 2 ? $# : 2))
here="$(cd "$(dirname "$0")" && pwd)"
work="$build/fuzz-work"
mkdir -p "$work/corpus" "$work/artifacts"
rm -rf "$work/seeds"
"$build/tests/archive/fuzz/archive_fuzz_seeds" "$work/seeds"

log="$work/last-run.log"
start=$(date +%s)
status=0
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  "$build/tests/archive/fuzz/archive_fuzz" \
  -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=4096 \
  -dict="$here/archive.dict" -artifact_prefix="$work/artifacts/" -print_final_stats=1 \
  "$@" "$work/corpus" "$work/seeds" >"$log" 2>&1 || status=$?
took=$(($(date +%s) - start))
if [ "$status" -ne 0 ]; then
  tail -n 60 "$log"
  echo "archive fuzzer FAILED after ${took} s (exit $status); inputs in $work/artifacts"
  exit 1
fi
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
echo "archive fuzzer: ${runs:-?} inputs in ${took} s, corpus $(ls "$work/corpus" | wc -l) files, nothing found"
