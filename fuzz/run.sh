#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, starting from the seed corpus;
# fails on the first finding (the input is kept in build/fuzz/findings).
#   fuzz/run.sh [SECONDS]      default 30 a target
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-30}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/findings
for target in services report paint bar; do
    work=$(mktemp -d)
    cp fuzz/corpus/$target/* "$work"/
    echo "fuzz: ${target}_fuzz for ${seconds} s"
    if ! build/fuzz/fuzz/${target}_fuzz -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build/fuzz/findings/${target}- "$work" >"build/fuzz/${target}.log" 2>&1; then
        tail -40 "build/fuzz/${target}.log"
        echo "fuzz: ${target}_fuzz found a fault; the input is in build/fuzz/findings/"
        rm -rf "$work"
        exit 1
    fi
    grep -E '^stat::number_of_executed_units' "build/fuzz/${target}.log" || true
    rm -rf "$work"
done
echo "fuzz: no findings"
