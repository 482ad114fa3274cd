#!/usr/bin/env bash
# Runs every libFuzzer target in BUILD_DIR for SECONDS each, on its seed corpus
# (fuzz/corpus/<name>/). Fails on the first crash, hang, leak or single allocation over 256 MB
# (no file the game reads needs one that large).
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
# A fixed seed keeps CI's bounded run close to the runs made before landing (the same mutations from
# the same corpus); set FUZZ_SEED to explore elsewhere, as longer runs by hand should.
seed=${FUZZ_SEED:-20261208}
root="$(cd "$(dirname "$0")/.." && pwd)"
status=0
for exe in "$build"/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe"); name=${name#fuzz_}
  seeds="$root/fuzz/corpus/$name"
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "== fuzzing $name for ${seconds}s (seed $seed)"
  if ! "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=256 -seed="$seed" -print_final_stats=1 \
       -artifact_prefix="$build/fuzz/$name-" "$work" > "$build/fuzz/$name.log" 2>&1; then
    echo "fuzz target $name failed; see $build/fuzz/$name.log"; tail -40 "$build/fuzz/$name.log"; status=1
  else
    grep -E "stat::number_of_executed_units|Done" "$build/fuzz/$name.log" | tail -2
  fi
  rm -rf "$work"
done
exit $status
