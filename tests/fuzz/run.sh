#!/usr/bin/env bash
# Runs every fuzz target for a bounded time from a copy of its seed corpus
# (the repository's corpus is never written). A crash, a leak, a sanitizer
# report or a model mismatch fails the run; the input is kept and shown.
# Usage: tests/fuzz/run.sh [build dir, default build/fuzz] [seconds each, default 60]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build/fuzz}"
seconds="${2:-60}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

status=0
for target in parselimit commandline lines; do
  mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
  cp "$here/corpus/$target/"* "$work/$target/corpus/"
  if "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$work/$target/artifacts/" "$work/$target/corpus" >"$work/$target/log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target/log")
    echo "fuzz_$target: $runs executions in ${seconds} s, no failure"
  else
    status=1
    echo "fuzz_$target FAILED:"
    tail -n 40 "$work/$target/log"
    for input in "$work/$target/artifacts/"*; do
      [ -e "$input" ] && { echo "input $(basename "$input"):"; od -A d -t x1 "$input" | head -n 20; }
    done
  fi
done
exit $status
