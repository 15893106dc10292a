#!/usr/bin/env bash
# Runs a libFuzzer target briefly: copies the seed corpus into a work folder and fuzzes
# for QP_FUZZ_SECONDS (default 20) seconds. Crashes are left in the work folder.
set -eu
fuzzer=$1 work=$2 seeds=${3:-}
mkdir -p "$work"
if [[ -n "$seeds" && -d "$seeds" ]]; then
    cp -n "$seeds"/* "$work"/ 2>/dev/null || true
fi
cd "$work"
exec "$fuzzer" -max_total_time="${QP_FUZZ_SECONDS:-20}" -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 "$work"
