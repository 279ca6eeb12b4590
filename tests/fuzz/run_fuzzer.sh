#!/bin/bash
# Runs one libFuzzer target for a bounded time, starting from the seed corpus, and prints
# one line with the outcome. Inputs it finds are kept in the work folder (never in the
# seeds); the fuzzer's own log is kept there too and shown when the run fails.
# Usage: run_fuzzer.sh FUZZER SEED_DIR WORK_DIR SECONDS
set -uo pipefail
fuzzer=$1
seeds=$2
work=$3
seconds=$4
name=$(basename "$fuzzer")

mkdir -p "$work/corpus" "$work/artifacts"
log=$work/fuzz.log
"$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds" >"$log" 2>&1
status=$?

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
found=$(find "$work/corpus" -type f | wc -l)
seeded=$(find "$seeds" -type f | wc -l)
if ((status == 0)); then
    echo "$name: ${executions:-?} executions in ${seconds} s ran clean ($seeded seeds, $found inputs found so far)"
    exit 0
fi
echo "$name: FAILED after ${executions:-?} executions (exit $status); log $log"
tail -n 60 "$log"
ls -l "$work/artifacts"
exit 1
