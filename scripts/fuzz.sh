#!/usr/bin/env bash
# Runs every libFuzzer target for FUZZ_SECONDS (default 60) each, one after the other, starting
# from its committed seeds in fuzz/corpus/<target>. New inputs go to build/fuzz/corpus/<target>,
# findings (crash-*, leak-*, timeout-* ...) to build/fuzz/findings/<target>; the seeds are only
# read. Fails when any target reports a finding.
#   scripts/fuzz.sh [target ...]      (default: every target that was built)
# FUZZ_FLAGS adds libFuzzer options, e.g. FUZZ_FLAGS=-max_len=4096.
# A finding worth keeping goes into fuzz/corpus/<target> with the fix, so the replay test of
# `make test` runs it from then on.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
bin=build/fuzz/fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for t in "$bin"/fuzz_*; do
        [ -f "$t" ] && [ -x "$t" ] && targets+=("$(basename "$t")")
    done
fi
if [ ${#targets[@]} -eq 0 ]; then
    echo "No fuzz targets in $bin: build them first (make fuzz)." >&2
    exit 1
fi

failed=()
for t in "${targets[@]}"; do
    corpus=build/fuzz/corpus/$t
    findings=build/fuzz/findings/$t
    mkdir -p "$corpus" "$findings"
    echo "== $t: ${seconds} s"
    # rss_limit: the tool's readers hold at most a few MB; a target growing past this is a leak.
    "$bin/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        ${FUZZ_FLAGS:-} -artifact_prefix="$findings/" "$corpus" "fuzz/corpus/$t" >"build/fuzz/$t.log" 2>&1
    status=$?
    grep -E '^(#[0-9]+ +DONE|==[0-9]+==|SUMMARY|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb))|invariant broken' \
        "build/fuzz/$t.log"
    if [ "$status" -ne 0 ]; then
        failed+=("$t")
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "Findings in: ${failed[*]} (inputs under build/fuzz/findings, logs in build/fuzz/*.log)" >&2
    exit 1
fi
echo "No findings."
