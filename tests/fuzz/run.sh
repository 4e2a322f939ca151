#!/usr/bin/env bash
# Runs every libFuzzer target of a native build for a bounded time, each from its seed corpus
# in tests/fuzz/corpus/NAME: tests/fuzz/run.sh BUILD_DIR SECONDS. New inputs go to a scratch
# folder, so the seeds in the repository stay as they are.
set -euo pipefail
build=$1
seconds=$2
corpus_root="$(cd "$(dirname "$0")" && pwd)/corpus"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

found=0
for fuzzer in "$build"/tests/fuzz/*_fuzz; do
    [ -x "$fuzzer" ] || continue
    found=1
    name=$(basename "$fuzzer" _fuzz)
    seeds="$corpus_root/$name"
    if [ ! -d "$seeds" ]; then
        echo "$0: $name has no seed corpus in $seeds" >&2
        exit 1
    fi
    mkdir -p "$scratch/$name"
    echo "Fuzzing $name for ${seconds}s"
    if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix="$scratch/" "$scratch/$name" "$seeds" >"$scratch/$name.log" 2>&1; then
        tail -40 "$scratch/$name.log" >&2
        for crash in "$scratch"/crash-* "$scratch"/leak-* "$scratch"/timeout-* "$scratch"/oom-*; do
            [ -f "$crash" ] && { echo "input that failed, in hex:" >&2; od -An -tx1 "$crash" | head -20 >&2; }
        done
        echo "$0: $name failed" >&2
        exit 1
    fi
    grep -E "^Done|stat::number_of_executed_units" "$scratch/$name.log" | tail -1
done
if [ "$found" -eq 0 ]; then
    echo "$0: no fuzz targets in $build/tests/fuzz" >&2
    exit 1
fi
